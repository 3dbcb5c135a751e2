#include "detect/HashIndex.h"

#include "detect/PayloadFormat.h"

#include <algorithm>
#include <cstring>

namespace detect {

HashIndex::HashIndex(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount,
                     std::uint32_t aFirstSignature)
    : mDigestLength(DigestLength(aAlgorithm)), mRecordLength(format::RecordLength(mDigestLength)),
      mRecords(aRecords), mCount(aCount), mFirstSignature(aFirstSignature),
      mAnySize(aCount > 0 && SizeAt(aCount - 1) == format::AnySize) {
    mSamples.reserve(aCount / SampleStride + 1);
    for (std::size_t i = 0; i < aCount; i += SampleStride) mSamples.push_back(KeyAt(i));
}

HashIndex::Key HashIndex::KeyOf(std::uint64_t aSize, const std::uint8_t* aDigest) {
    std::uint64_t prefix = 0;
    for (int i = 0; aDigest != nullptr && i < 8; ++i) prefix = prefix << 8 | aDigest[i];
    return {aSize, prefix};
}

HashIndex::Key HashIndex::KeyAt(std::size_t aIndex) const {
    return KeyOf(SizeAt(aIndex), Record(aIndex));
}

std::uint64_t HashIndex::SizeAt(std::size_t aIndex) const {
    return format::Read64(Record(aIndex) + mDigestLength);
}

// The samples bound the search: the one before the first sample not below the key is below it,
// and the first sample above the key is above it (a digest of nullptr is below every digest).
std::size_t HashIndex::LowerBound(std::uint64_t aSize, const std::uint8_t* aDigest) const {
    const Key key = KeyOf(aSize, aDigest);
    const auto first = std::lower_bound(mSamples.begin(), mSamples.end(), key);
    const auto last = std::upper_bound(first, mSamples.end(), key);
    const auto before = static_cast<std::size_t>(first - mSamples.begin());
    std::size_t low = before == 0 ? 0 : (before - 1) * SampleStride + 1;
    std::size_t high = std::min(mCount, static_cast<std::size_t>(last - mSamples.begin()) * SampleStride);
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
