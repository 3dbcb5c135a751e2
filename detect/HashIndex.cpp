#include "detect/HashIndex.h"

#include "detect/PayloadFormat.h"

namespace detect {

HashIndex::HashIndex(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount,
                     std::uint32_t aFirstSignature)
    : mDigestLength(DigestLength(aAlgorithm)), mRecordLength(format::RecordLength(mDigestLength)),
      mRecords(aRecords), mCount(aCount), mFirstSignature(aFirstSignature),
      mAnySize(aCount > 0 && SizeAt(aCount - 1) == format::AnySize) {}

std::uint64_t HashIndex::SizeAt(std::size_t aIndex) const {
    return format::Read64(Record(aIndex) + mDigestLength);
}

std::size_t HashIndex::LowerBound(std::uint64_t aSize, const std::uint8_t* aDigest) const {
    std::size_t low = 0, high = mCount;
    while (low < high) {
        const std::size_t mid = low + (high - low) / 2;
        const std::uint64_t size = SizeAt(mid);
        const bool less = size != aSize ? size < aSize
                                        : aDigest != nullptr && std::memcmp(Record(mid), aDigest, mDigestLength) < 0;
        if (less) low = mid + 1;
        else high = mid;
    }
    return low;
}

bool HashIndex::Equal(std::size_t aIndex, std::uint64_t aSize, const std::uint8_t* aDigest) const {
    return aIndex < mCount && SizeAt(aIndex) == aSize && std::memcmp(Record(aIndex), aDigest, mDigestLength) == 0;
}

bool HashIndex::Wanted(std::uint64_t aSize) const {
    if (mCount == 0) return false;
    if (mAnySize || aSize == format::AnySize) return true;
    const std::size_t at = LowerBound(aSize, nullptr);
    return at < mCount && SizeAt(at) == aSize;
}

void HashIndex::Collect(std::uint64_t aSize, const std::uint8_t* aDigest, std::vector<HashHit>& aHits) const {
    for (std::size_t i = LowerBound(aSize, aDigest); Equal(i, aSize, aDigest); ++i)
        aHits.push_back({mFirstSignature + static_cast<std::uint32_t>(i), format::Read32(Record(i) + mDigestLength + 8)});
}

void HashIndex::Find(std::uint64_t aSize, const std::uint8_t* aDigest, std::vector<HashHit>& aHits) const {
    Collect(aSize, aDigest, aHits);
    if (mAnySize) Collect(format::AnySize, aDigest, aHits);
}

bool HashIndex::Contains(std::uint64_t aSize, const std::uint8_t* aDigest) const {
    if (mCount == 0) return false;
    return Equal(LowerBound(aSize, aDigest), aSize, aDigest) ||
           (mAnySize && Equal(LowerBound(format::AnySize, aDigest), format::AnySize, aDigest));
}

} // namespace detect
