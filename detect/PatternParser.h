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
template <class Element>
std::uint64_t MinLength(const std::vector<Element>& aElements, std::size_t aBegin, std::size_t aEnd) {
    std::uint64_t length = 0;
    for (std::size_t i = aBegin; i < aEnd; ++i)
        length += aElements[i].Kind == PatternElement::Type::Gap ? aElements[i].Min : 1;
    return length;
}

template <class Element>
std::uint64_t MaxLength(const std::vector<Element>& aElements, std::size_t aBegin, std::size_t aEnd) {
    std::uint64_t length = 0;
    for (std::size_t i = aBegin; i < aEnd; ++i)
        length += aElements[i].Kind == PatternElement::Type::Gap ? aElements[i].Max : 1;
    return length;
}

} // namespace detect
