#pragma once

// The header of a quarantine item: written by this program, read back from a store that
// anything running as the user could have changed, so every field is checked on reading.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace vault {

enum class ThreatKind : std::uint8_t { Infected = 1, PossibleThreat = 2 };

struct ItemHeader {
    std::u16string Path;   // the original full path
    std::u16string Threat; // the threat's name
    ThreatKind Kind = ThreatKind::Infected;
    std::uint64_t QuarantineTime = 0; // FILETIME, UTC
    std::uint64_t Size = 0;           // of the original content
    std::array<std::uint8_t, 32> Sha256{};
    std::uint32_t Attributes = 0;
    std::uint64_t CreationTime = 0;
    std::uint64_t LastAccessTime = 0;
    std::uint64_t LastWriteTime = 0;
    std::array<std::uint8_t, 32> Key{};  // AES-256 key of the content's keystream
    std::array<std::uint8_t, 8> Nonce{}; // the keystream's block i is AES(Key, Nonce || i, big-endian)

    bool operator==(const ItemHeader&) const = default;
};

// Bounds every reader holds a header to before it allocates anything.
constexpr std::size_t kFixedHeaderLength = 140;
constexpr std::size_t kMaxPathLength = 32767;  // UTF-16 units
constexpr std::size_t kMaxThreatLength = 1024; // UTF-16 units
constexpr std::size_t kMaxHeaderLength = kFixedHeaderLength + 2 * (kMaxPathLength + kMaxThreatLength);

// The header's bytes; the content follows them. Fails (std::length_error) on a path or
// threat name over its bound.
std::vector<std::uint8_t> SerializeHeader(const ItemHeader& aHeader);

enum class HeaderStatus {
    Ok,
    NeedMore,   // a valid prefix: read HeaderLength bytes and parse again
    Malformed   // not an item of this version, or inconsistent with the item's size
};

struct ParsedHeader {
    HeaderStatus Status = HeaderStatus::Malformed;
    std::size_t HeaderLength = 0; // known once Status is Ok or NeedMore
    ItemHeader Header;            // filled when Status is Ok
};

// Parses the first aLength bytes of an item whose file holds aItemSize bytes in all.
// Reads at most aLength bytes and allocates at most kMaxHeaderLength.
ParsedHeader ParseHeader(const std::uint8_t* aData, std::size_t aLength, std::uint64_t aItemSize);

} // namespace vault
