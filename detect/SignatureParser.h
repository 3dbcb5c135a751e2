#pragma once

#include "detect/ParseStatus.h"
#include "detect/Signature.h"

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace detect {

// The functionality level this engine declares: ClamAV 1.4's. A line whose minimum level is above
// it, or whose maximum level is below it, is OutOfLevel.
inline constexpr std::uint64_t EngineLevel = 210;

// Signature names: 1 to 255 bytes of printable ASCII (0x21-0x7E) other than ':'.
inline constexpr std::size_t MaxNameLength = 255;
bool IsValidName(std::string_view aName);

struct ParsedLine {
    ParseProblem Problem;                                          // Status Ok, Ignored or a refusal
    std::variant<std::monostate, HashSignature, BodySignature> Signature;
    std::string Canonical; // body signatures: "Name:TargetType:Offset:HexSignature" as stored
};

// Parses one line of a .hdb, .hsb, .ndb, .fp or .sfp file; a trailing CR is dropped,
// blank lines and lines starting with '#' are Ignored.
ParsedLine ParseLine(SignatureFileKind aKind, std::string_view aLine);

// The kind of a signature file from its name's extension (case-insensitive), if one of ours.
std::optional<SignatureFileKind> KindFromFileName(std::string_view aFileName);
// Whether a file name ends in ".ign2" (case-insensitive): a list of signature names to drop.
bool IsIgnoreListName(std::string_view aFileName);

} // namespace detect
