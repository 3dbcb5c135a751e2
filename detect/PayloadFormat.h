#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Layout of the signature payload; docs/signature-format.md describes it in full.
namespace detect::format {

inline constexpr char Magic[16] = {'Q', 'v', 'S', 'i', 'g', 'n', 'a', 't', 'u', 'r', 'e', 'D', 'b', '\r', '\n', '\x1a'};
// The version the writer writes; the reader also reads version 1 (64-byte header, names by offset).
inline constexpr std::uint32_t Version = 2;
inline constexpr std::size_t HeaderLength = 128;
inline constexpr std::size_t HeaderLength1 = 64;
inline constexpr std::size_t MinPayloadLength = 16777200; // the writer pads to this
inline constexpr std::size_t MaxPayloadLength = 50331632;
// signature.dat: a payload padded to MinPayloadLength and at most MaxPayloadLength bytes,
// followed by the payload's 16-byte MD5. A .qdb file has neither bound.
inline constexpr std::size_t TrailerLength = 16;
inline constexpr std::size_t MinFileLength = MinPayloadLength + TrailerLength;
inline constexpr std::size_t MaxFileLength = MaxPayloadLength + TrailerLength;
inline constexpr std::uint64_t AnySize = ~std::uint64_t{0};

// Header fields: byte offsets. The first 56 bytes mean the same in both versions.
// Sha1CountAt was reserved (zero) before SHA-1 lines were taken, so older payloads read unchanged.
inline constexpr std::size_t VersionAt = 16, HeaderLengthAt = 20, Md5CountAt = 24, Sha256CountAt = 28,
                             BodyCountAt = 32, Sha1CountAt = 36, BodyLengthAt = 40, NamesLengthAt = 48,
                             ReservedAt = 56;
// Version 2: after the first 56 bytes, zero up to HeaderLength.
inline constexpr std::size_t NameCountAt = 56, AllowMd5CountAt = 60, AllowSha256CountAt = 64, NamesPerBlockAt = 68,
                             Reserved2At = 72;
// Where each hash table's count is; the tables follow the header in HashAlgorithms order.
inline constexpr std::size_t HashCountAt[3] = {Md5CountAt, Sha256CountAt, Sha1CountAt};

// A hash record: digest, size (AnySize for "*"), offset of the name in the names section.
constexpr std::size_t RecordLength(std::size_t aDigestLength) { return aDigestLength + 8 + 4; }
// The most names version 2 numbers: a name index is 4 bytes.
inline constexpr std::uint64_t MaxNames = 0xFFFFFFFF;

inline std::uint32_t Read32(const std::uint8_t* aAt) {
    return std::uint32_t{aAt[0]} | std::uint32_t{aAt[1]} << 8 | std::uint32_t{aAt[2]} << 16 |
           std::uint32_t{aAt[3]} << 24;
}
inline std::uint64_t Read64(const std::uint8_t* aAt) {
    return std::uint64_t{Read32(aAt)} | std::uint64_t{Read32(aAt + 4)} << 32;
}
inline void Write32(std::uint8_t* aAt, std::uint32_t aValue) {
    for (int i = 0; i < 4; ++i) aAt[i] = static_cast<std::uint8_t>(aValue >> (8 * i));
}
inline void Write64(std::uint8_t* aAt, std::uint64_t aValue) {
    for (int i = 0; i < 8; ++i) aAt[i] = static_cast<std::uint8_t>(aValue >> (8 * i));
}

} // namespace detect::format
