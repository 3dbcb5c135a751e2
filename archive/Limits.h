// What the walker refuses to unpack, and the text a refusal is reported with.
#pragma once

#include <cstdint>
#include <string_view>

namespace unpack {

// In the order a member's limits are checked after each block.
enum class Refusal {
    Nesting,
    Members,
    MemberSize,
    TotalSize,
    Ratio,
    NestedSize,
    Encrypted,
    Damaged,
    Unsupported,
};

// The report's text for aRefusal; Damaged and Unsupported take the library's message after it
// ("damaged: ...", or "damaged" alone when there is none).
std::string_view RefusalText(Refusal aRefusal) noexcept;

struct Limits {
    // Archives inside the file on disk, one inside the other.
    std::uint32_t Nesting = 16;
    // Entries of one archive.
    std::uint64_t Members = 10000;
    // Bytes unpacked from one member.
    std::uint64_t MemberSize = 100ull << 20;
    // Bytes unpacked from the file on disk and everything it holds.
    std::uint64_t TotalSize = 400ull << 20;
    // Unpacked bytes over the packed bytes read for them, once RatioFloor bytes are unpacked.
    std::uint64_t Ratio = 1000;
    std::uint64_t RatioFloor = 1ull << 20;
    // A nested archive is held in memory up to this size.
    std::uint64_t NestedSize = 100ull << 20;
};

} // namespace unpack
