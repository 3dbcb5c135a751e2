#pragma once

#include "detect/Hash.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace detect {

// The signature file kinds, by extension: .hdb (MD5), .hsb (SHA-1 or SHA-256), .ndb, and the
// allow lists .fp (MD5, lines as .hdb) and .sfp (SHA-256, lines as .hsb).
enum class SignatureFileKind { Md5, Sha, Body, Md5Allow, Sha256Allow };

// Whether lines of this kind name objects never to report rather than signatures.
constexpr bool IsAllowList(SignatureFileKind aKind) {
    return aKind == SignatureFileKind::Md5Allow || aKind == SignatureFileKind::Sha256Allow;
}

struct HashSignature {
    HashAlgorithm Algorithm = HashAlgorithm::Md5;
    std::array<std::uint8_t, MaxDigestLength> Digest{}; // DigestLength(Algorithm) bytes used
    bool AnySize = false;                  // size "*"
    std::uint64_t Size = 0;
    std::string Name;
};

// One position of a body pattern: a byte under a mask, a set of bytes, or a bounded gap.
struct PatternElement {
    enum class Type : std::uint8_t { Byte, Set, Gap };
    Type Kind = Type::Byte;
    std::uint8_t Value = 0;   // Byte: compared under Mask
    std::uint8_t Mask = 0xFF; // 0xFF exact, 0xF0 or 0x0F a nibble, 0x00 any byte
    std::uint32_t Min = 0;    // Gap: least and most bytes skipped
    std::uint32_t Max = 0;
    std::array<std::uint64_t, 4> Members{}; // Set: bit b set when byte b belongs

    bool IsFixed() const { return Kind == Type::Byte && Mask == 0xFF; }
    bool Accepts(std::uint8_t aByte) const {
        if (Kind == Type::Set) return (Members[aByte >> 6] >> (aByte & 63)) & 1;
        return (aByte & Mask) == Value;
    }
};

// The elements between two unbounded gaps ("*" or "{n-}").
struct PatternPart {
    std::uint32_t GapMin = 0; // least distance from the previous part's end; 0 for the first part
    std::vector<PatternElement> Elements;
};

enum class OffsetKind { Any, Start, Eof };

// Where a body match may start: anywhere, at Value (+0..Shift), or at size-Value (+0..Shift).
struct Offset {
    OffsetKind Kind = OffsetKind::Any;
    std::uint64_t Value = 0;
    std::uint64_t Shift = 0;
};

enum class TargetType { Any = 0, MzFile = 1 };

struct BodySignature {
    std::string Name;
    TargetType Target = TargetType::Any;
    Offset Where;
    std::vector<PatternPart> Parts;
};

} // namespace detect
