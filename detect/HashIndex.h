#pragma once

#include "detect/Hash.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace detect {

// A hash signature found: its number and its name's key in its payload's NameTable.
struct HashHit {
    std::uint32_t Signature = 0;
    std::uint32_t NameKey = 0;
};

// Looks up hash records in the payload, sorted by (size, digest): nothing is copied or read at
// set-up beyond the last record's size. Records out of order give wrong answers, never unsafe ones.
class HashIndex {
public:
    HashIndex() = default;
    HashIndex(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount, std::uint32_t aFirstSignature);

    std::size_t Count() const { return mCount; }
    // Whether an object of this size (ObjectScan::UnknownSize: of any size) needs this digest.
    bool Wanted(std::uint64_t aSize) const;
    // Appends the records with this size (or "*") and digest, in database order.
    void Find(std::uint64_t aSize, const std::uint8_t* aDigest, std::vector<HashHit>& aHits) const;
    // Whether a record has this size (or "*") and digest.
    bool Contains(std::uint64_t aSize, const std::uint8_t* aDigest) const;

private:
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
};

} // namespace detect
