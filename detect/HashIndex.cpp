#include "detect/HashIndex.h"

#include "detect/PayloadFormat.h"

namespace detect {

HashIndex::HashIndex(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount,
                     const std::uint8_t* aNames, std::uint32_t aFirstSignature)
    : mDigestLength(DigestLength(aAlgorithm)), mRecordLength(format::RecordLength(mDigestLength)),
      mRecords(aRecords), mCount(aCount), mNames(aNames), mFirstSignature(aFirstSignature),
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

bool HashIndex::Wanted(std::uint64_t aSize) const {
    if (mAnySize) return true;
    const std::size_t at = LowerBound(aSize, nullptr);
    return at < mCount && SizeAt(at) == aSize;
}

void HashIndex::Collect(std::uint64_t aSize, const std::uint8_t* aDigest, std::vector<Match>& aMatches) const {
    for (std::size_t i = LowerBound(aSize, aDigest);
         i < mCount && SizeAt(i) == aSize && std::memcmp(Record(i), aDigest, mDigestLength) == 0; ++i) {
        const std::uint8_t* name = mNames + format::Read32(Record(i) + mDigestLength + 8);
        aMatches.push_back({mFirstSignature + static_cast<std::uint32_t>(i),
                            std::string_view(reinterpret_cast<const char*>(name + 1), name[0]), MatchKind::Hash,
                            0});
    }
}

void HashIndex::Find(std::uint64_t aSize, const std::uint8_t* aDigest, std::vector<Match>& aMatches) const {
    const std::size_t first = aMatches.size();
    Collect(aSize, aDigest, aMatches);
    if (mAnySize) Collect(format::AnySize, aDigest, aMatches);
    for (std::size_t i = first; i < aMatches.size(); ++i) aMatches[i].End = aSize;
}

} // namespace detect
