#pragma once

#include "detect/ParseStatus.h"
#include "detect/Signature.h"

#include <string_view>
#include <vector>

namespace detect {

// Limits of the matched subset; longer parts or more parts are refused as unsupported.
inline constexpr std::uint32_t MaxPartLength = 65536;
inline constexpr std::size_t MaxParts = 64;
inline constexpr std::size_t MaxElements = 65536; // bytes, wildcards and gaps of one signature

struct PatternParse {
    ParseProblem Problem;
    std::vector<PatternPart> Parts;
};

// Parses the hex signature field of a body signature.
PatternParse ParsePattern(std::string_view aHex);

// Least and most bytes a run of elements spans.
std::uint64_t MinLength(const std::vector<PatternElement>& aElements, std::size_t aBegin, std::size_t aEnd);
std::uint64_t MaxLength(const std::vector<PatternElement>& aElements, std::size_t aBegin, std::size_t aEnd);

} // namespace detect
