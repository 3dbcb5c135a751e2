#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace detect {

// A payload's names section, read in place, a name at a time when a signature hits.
//
// Version 1: each name a length byte and its bytes; a name's key is its offset in the section.
// Version 2: names numbered from 0 in the writer's order, a name's key its number. A table of
// 8-byte block offsets (from the end of the table) comes first; each block holds NamesPerBlock
// names, the first whole (a length byte and its bytes), each other one as the length of the
// prefix it shares with the name before, its suffix's length and the suffix.
//
// The version 2 reader trusts no offset or length: a key, a block offset or a suffix that does
// not lead to a valid name gives InvalidName.
class NameTable {
public:
    static constexpr std::uint32_t NamesPerBlock = 16;
    static constexpr std::string_view InvalidName = "Invalid.Name";

    NameTable() = default;
    // A version 1 section whose every name and key the caller has checked.
    static NameTable Offsets(const std::uint8_t* aSection, std::size_t aLength);
    // A version 2 section of aCount names; throws DatabaseError when its block table does not fit.
    static NameTable Blocks(const std::uint8_t* aSection, std::size_t aLength, std::uint64_t aCount);

    std::uint64_t Count() const { return mCount; }
    std::string Name(std::uint32_t aKey) const;

    static std::uint64_t BlockCount(std::uint64_t aNames) { return (aNames + NamesPerBlock - 1) / NamesPerBlock; }
    // The version 2 section holding aNames in order, and its length without writing it.
    static std::vector<std::uint8_t> Encode(const std::vector<std::string_view>& aNames);
    static std::uint64_t EncodedLength(const std::vector<std::string_view>& aNames);

private:
    std::string ByOffset(std::uint32_t aOffset) const;
    std::string ByIndex(std::uint32_t aIndex) const;

    const std::uint8_t* mSection = nullptr;
    std::size_t mLength = 0;
    std::uint64_t mCount = 0;
    bool mBlocks = false;
};

} // namespace detect
