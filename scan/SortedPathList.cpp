// Gathered paths get one sort key each; a stable sort that keeps the first of each equal run,
// merged into the list with the older entry winning, equals insertion one by one.
#include "scan/SortedPathList.h"

#include "platform/TextCompare.h"

#include <algorithm>
#include <cstring>

namespace {

// Chunks of 1 MiB: large enough that the heap hands them back to the system when freed.
constexpr std::size_t kTextChunk = 512 * 1024;
constexpr std::size_t kKeyChunk = 1024 * 1024;

}

SortedPathList::SortedPathList() : texts_(kTextChunk), keys_(kKeyChunk), keyBuffer_(1024) {}

void SortedPathList::Clear() noexcept
{
    texts_.Clear();
    keys_.Clear();
    sealedTexts_.reset();
    sealedCount_ = 0;
    std::vector<Entry>().swap(entries_);
    std::vector<Entry>().swap(gathered_);
    sealed_ = false;
}

void SortedPathList::Gather(std::wstring_view aPath, std::uint32_t aTag)
{
    wchar_t* text = texts_.Allocate(aPath.size() + 1);
    std::copy(aPath.begin(), aPath.end(), text);
    text[aPath.size()] = L'\0';
    Entry entry{text, static_cast<std::uint32_t>(aPath.size()), aTag, nullptr, 0};
    MakeKey(entry);
    gathered_.push_back(entry);
}

void SortedPathList::Merge()
{
    if (sealed_) {
        for (Entry& entry : entries_)
            MakeKey(entry);
        sealed_ = false;
    }
    std::stable_sort(gathered_.begin(), gathered_.end(), KeyLess);
    const auto equal = [](const Entry& aLeft, const Entry& aRight) {
        return !KeyLess(aLeft, aRight) && !KeyLess(aRight, aLeft);
    };
    gathered_.erase(std::unique(gathered_.begin(), gathered_.end(), equal), gathered_.end());
    MergeSorted(gathered_);
    std::vector<Entry>().swap(gathered_);
}

void SortedPathList::Seal()
{
    keys_.Clear();
    std::vector<Entry>().swap(gathered_);
    entries_.shrink_to_fit();
    std::size_t count = 0;
    for (const Entry& entry : entries_)
        count += entry.length + 1;
    // One block of exactly the kept texts, in list order; repetitions and spare room go.
    auto texts = std::make_unique_for_overwrite<wchar_t[]>(count);
    wchar_t* next = texts.get();
    for (Entry& entry : entries_) {
        std::copy(entry.text, entry.text + entry.length + 1, next);
        entry = {next, entry.length, entry.tag, nullptr, 0};
        next += entry.length + 1;
    }
    texts_.Clear();
    sealedTexts_ = std::move(texts);
    sealedCount_ = count;
    sealed_ = true;
}

std::size_t SortedPathList::ByteSize() const noexcept
{
    return texts_.ByteSize() + keys_.ByteSize() + sealedCount_ * sizeof(wchar_t) + keyBuffer_.capacity() +
        (entries_.capacity() + gathered_.capacity()) * sizeof(Entry);
}

bool SortedPathList::KeyLess(const Entry& aLeft, const Entry& aRight) noexcept
{
    const int order = std::memcmp(aLeft.key, aRight.key, std::min(aLeft.keyLength, aRight.keyLength));
    return order < 0 || (order == 0 && aLeft.keyLength < aRight.keyLength);
}

void SortedPathList::MakeKey(Entry& aEntry)
{
    const std::size_t bytes = SortKeyForUser({aEntry.text, aEntry.length}, keyBuffer_);
    std::uint8_t* key = keys_.Allocate(bytes);
    std::memcpy(key, keyBuffer_.data(), bytes);
    aEntry.key = key;
    aEntry.keyLength = static_cast<std::uint32_t>(bytes);
}

void SortedPathList::MergeSorted(std::vector<Entry>& aSorted)
{
    if (entries_.empty()) {
        entries_.swap(aSorted);
        return;
    }
    std::vector<Entry> merged;
    merged.reserve(entries_.size() + aSorted.size());
    auto old = entries_.begin();
    auto added = aSorted.begin();
    while (old != entries_.end() && added != aSorted.end()) {
        if (KeyLess(*added, *old)) {
            merged.push_back(*added++);
        } else {
            if (!KeyLess(*old, *added))
                ++added;
            merged.push_back(*old++);
        }
    }
    merged.insert(merged.end(), old, entries_.end());
    merged.insert(merged.end(), added, aSorted.end());
    entries_.swap(merged);
}
