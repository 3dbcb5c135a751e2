#pragma once

#include "detect/Hash.h"

#include <cstddef>
#include <compare>
#include <cstdint>
#include <vector>

namespace detect {

// A hash signature found: its number and its name's key in its payload's NameTable.
struct HashHit {
    std::uint32_t Signature = 0;
    std::uint32_t NameKey = 0;
};

// Looks up hash records in the payload, sorted by (size, digest). Set-up reads every SampleStride-th
// record's size and first digest bytes into a small table, so that a search touches a few pages of
// the records instead of one per step. Records out of order give wrong answers, never unsafe ones.
class HashIndex {
public:
    HashIndex() = default;
    HashIndex(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount, std::uint32_t aFirstSignature);

    static constexpr std::size_t SampleStride = 512;

    std::size_t Count() const { return mCount; }
    // Memory held beyond the records.
    std::size_t MemoryBytes() const { return mSamples.capacity() * sizeof(Key); }
    // Whether an object of this size (ObjectScan::UnknownSize: of any size) needs this digest.
    bool Wanted(std::uint64_t aSize) const;
    // Appends the records with this size (or "*") and digest, in database order.
    void Find(std::uint64_t aSize, const std::uint8_t* aDigest, std::vector<HashHit>& aHits) const;
    // Whether a record has this size (or "*") and digest.
    bool Contains(std::uint64_t aSize, const std::uint8_t* aDigest) const;

private:
    // A record's size and its digest's first eight bytes, compared as the records are sorted.
    struct Key {
        std::uint64_t Size, Prefix;
        auto operator<=>(const Key&) const = default;
    };
    Key KeyAt(std::size_t aIndex) const;
    static Key KeyOf(std::uint64_t aSize, const std::uint8_t* aDigest);
    const std::uint8_t* Record(std::size_t aIndex) const { return mRecords + aIndex * mRecordLength; }
    std::uint64_t SizeAt(std::size_t aIndex) const;
    std::size_t LowerBound(std::uint64_t aSize, const std::uint8_t* aDigest) const;
    bool Equal(std::size_t aIndex, std::uint64_t aSize, const std::uint8_t* aDigest) const;
    void Collect(std::uint64_t aSize, const std::uint8_t* aDigest, std::vector<HashHit>& aHits) const;

    std::size_t mDigestLength = 16;
    std::size_t mRecordLength = 0;
    const std::uint8_t* mRecords = nullptr;
    std::size_t mCount = 0;
    std::uint32_t mFirstSignature = 0;
    bool mAnySize = false;
    std::vector<Key> mSamples; // records 0, SampleStride, 2 * SampleStride, ...
};

} // namespace detect
