// A sorted list of paths without repetitions, ordered and compared by the user's locale
// with letter case ignored (the order and equality of CompareForUser).
#pragma once

#include "scan/ChunkArena.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class SortedPathList {
public:
    SortedPathList();
    SortedPathList(const SortedPathList&) = delete;
    SortedPathList& operator=(const SortedPathList&) = delete;

    // Empties the list and drops what was gathered, releasing the memory.
    void Clear() noexcept;

    // Keeps aPath for the next Merge, with aTag for the caller (which root it came from). Throws
    // AppError when the system cannot make its sort key, std::bad_alloc when memory runs out.
    void Gather(std::wstring_view aPath, std::uint32_t aTag = 0);

    // Inserts the gathered paths with the result of inserting them one by one in the order gathered:
    // each at its sorted place unless an equal entry is already there, so the spelling added first
    // stays. Throws what Gather throws.
    void Merge();

    // Drops the sort keys, the repetitions' texts and spare room once the list is complete:
    // the texts move into one block. A later Merge makes the keys anew. Throws std::bad_alloc.
    void Seal();

    std::size_t Size() const noexcept { return entries_.size(); }
    bool Empty() const noexcept { return entries_.empty(); }
    std::wstring_view operator[](std::size_t aIndex) const noexcept
    {
        return {entries_[aIndex].text, entries_[aIndex].length};
    }

    // The tag given with the entry's text; of equal paths, the one kept.
    std::uint32_t Tag(std::size_t aIndex) const noexcept { return entries_[aIndex].tag; }

    // The bytes held by the list and what it has gathered (texts, sort keys, index).
    std::size_t ByteSize() const noexcept;

private:
    struct Entry {
        const wchar_t* text;
        std::uint32_t length;
        std::uint32_t tag;
        const std::uint8_t* key;
        std::uint32_t keyLength;
    };

    static bool KeyLess(const Entry& aLeft, const Entry& aRight) noexcept;
    void MakeKey(Entry& aEntry);
    void MergeSorted(std::vector<Entry>& aSorted);

    ChunkArena<wchar_t> texts_;
    std::unique_ptr<wchar_t[]> sealedTexts_;
    std::size_t sealedCount_ = 0;
    ChunkArena<std::uint8_t> keys_;
    std::vector<std::uint8_t> keyBuffer_;
    std::vector<Entry> entries_;
    std::vector<Entry> gathered_;
    bool sealed_ = false;
};
