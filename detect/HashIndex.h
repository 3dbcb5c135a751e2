#pragma once

#include "detect/Hash.h"
#include "detect/Match.h"

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace detect {

// Looks up hash signatures in the payload's records, sorted by (size, digest): nothing is copied.
class HashIndex {
public:
    HashIndex() = default;
    HashIndex(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount,
              const std::uint8_t* aNames, std::uint32_t aFirstSignature);

    std::size_t Count() const { return mCount; }
    // Whether an object of this size needs this digest.
    bool Wanted(std::uint64_t aSize) const;
    // Appends the signatures with this size (or "*") and digest, in database order.
    void Find(std::uint64_t aSize, const std::uint8_t* aDigest, std::vector<Match>& aMatches) const;

private:
    const std::uint8_t* Record(std::size_t aIndex) const { return mRecords + aIndex * mRecordLength; }
    std::uint64_t SizeAt(std::size_t aIndex) const;
    std::size_t LowerBound(std::uint64_t aSize, const std::uint8_t* aDigest) const;
    void Collect(std::uint64_t aSize, const std::uint8_t* aDigest, std::vector<Match>& aMatches) const;

    std::size_t mDigestLength = 16;
    std::size_t mRecordLength = 0;
    const std::uint8_t* mRecords = nullptr;
    std::size_t mCount = 0;
    const std::uint8_t* mNames = nullptr;
    std::uint32_t mFirstSignature = 0;
    bool mAnySize = false;
};

} // namespace detect
