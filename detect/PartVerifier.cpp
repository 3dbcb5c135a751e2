#include "detect/PartVerifier.h"

#include <algorithm>

namespace detect {

void PartVerifier::Reserve(std::uint32_t aLongestPart) {
    const std::size_t size = std::size_t{aLongestPart} + 2;
    mReach.assign(size, 0);
    mNext.assign(size, 0);
    mDelta.assign(size + 1, 0);
    mLow = 1;
    mHigh = 0;
}

void PartVerifier::Gap(const CompiledElement& aGap) {
    const std::size_t low = mLow + aGap.Min, high = mHigh + aGap.Max;
    mSteps += (high - low + 1) + (mHigh - mLow + 1);
    std::fill(mDelta.begin() + static_cast<std::ptrdiff_t>(low), mDelta.begin() + static_cast<std::ptrdiff_t>(high + 2), 0);
    for (std::size_t d = mLow; d <= mHigh; ++d) {
        if (!mReach[d]) continue;
        ++mDelta[d + aGap.Min];
        --mDelta[d + aGap.Max + 1];
    }
    std::int32_t open = 0;
    for (std::size_t d = low; d <= high; ++d) {
        open += mDelta[d];
        mNext[d] = open > 0;
    }
    std::fill(mReach.begin() + static_cast<std::ptrdiff_t>(mLow), mReach.begin() + static_cast<std::ptrdiff_t>(mHigh + 1), 0);
    std::swap(mReach, mNext);
    mLow = low;
    mHigh = high;
}

void PartVerifier::Byte(const CompiledElement& aElement, bool aForward, std::uint64_t aOrigin,
                        const StreamWindow& aWindow) {
    std::size_t low = mHigh + 2, high = 0;
    mSteps += mHigh - mLow + 1;
    for (std::size_t d = mLow; d <= mHigh; ++d) {
        if (!mReach[d]) continue;
        mReach[d] = 0;
        if (!aForward && aOrigin < d + 1) continue;
        const int byte = aWindow.At(aForward ? aOrigin + d : aOrigin - d - 1);
        if (byte < 0 || !mBodies.Accepts(aElement, static_cast<std::uint8_t>(byte))) continue;
        mNext[d + 1] = 1;
        low = std::min(low, d + 1);
        high = d + 1;
    }
    std::swap(mReach, mNext);
    mLow = low;
    mHigh = high;
}

bool PartVerifier::Walk(const CompiledElement* aElements, std::size_t aCount, bool aForward, std::uint64_t aOrigin,
                        const StreamWindow& aWindow) {
    if (mLow <= mHigh)
        std::fill(mReach.begin() + static_cast<std::ptrdiff_t>(mLow), mReach.begin() + static_cast<std::ptrdiff_t>(mHigh + 1), 0);
    mReach[0] = 1;
    mLow = mHigh = 0;
    for (std::size_t k = 0; k < aCount && mLow <= mHigh; ++k) {
        const CompiledElement& element = aElements[aForward ? k : aCount - 1 - k];
        if (element.Kind == PatternElement::Type::Gap) Gap(element);
        else Byte(element, aForward, aOrigin, aWindow);
    }
    return mLow <= mHigh;
}

bool PartVerifier::MatchesRigid(const CompiledPart& aPart, std::uint64_t aAnchorEnd,
                                const StreamWindow& aWindow) const {
    std::uint64_t at = aAnchorEnd;
    for (std::size_t k = aPart.AnchorEnd; k < aPart.Elements.size(); ++k) {
        const CompiledElement& element = aPart.Elements[k];
        if (element.Kind == PatternElement::Type::Gap) {
            at += element.Min;
            continue;
        }
        const int byte = aWindow.At(at++);
        if (byte < 0 || !mBodies.Accepts(element, static_cast<std::uint8_t>(byte))) return false;
    }
    if (at > aWindow.Total()) return false;
    at = aAnchorEnd - (aPart.AnchorEnd - aPart.AnchorBegin);
    for (std::size_t k = aPart.AnchorBegin; k-- > 0;) {
        const CompiledElement& element = aPart.Elements[k];
        if (element.Kind == PatternElement::Type::Gap) {
            if (at < element.Min) return false;
            at -= element.Min;
            continue;
        }
        if (at == 0) return false;
        const int byte = aWindow.At(--at);
        if (byte < 0 || !mBodies.Accepts(element, static_cast<std::uint8_t>(byte))) return false;
    }
    return true;
}

std::optional<std::uint64_t> PartVerifier::EarliestEnd(const CompiledPart& aPart, std::uint64_t aAnchorEnd,
                                                       const StreamWindow& aWindow) {
    const CompiledElement* suffix = aPart.Elements.data() + aPart.AnchorEnd;
    if (!Walk(suffix, aPart.Elements.size() - aPart.AnchorEnd, true, aAnchorEnd, aWindow)) return std::nullopt;
    // A trailing gap checks no byte: the end must still lie within what has been read.
    if (aAnchorEnd + mLow > aWindow.Total()) return std::nullopt;
    return aAnchorEnd + mLow;
}

std::optional<std::uint64_t> PartVerifier::EarliestStart(const CompiledPart& aPart, std::uint64_t aAnchorStart,
                                                         std::uint64_t aLow, std::uint64_t aHigh,
                                                         const StreamWindow& aWindow) {
    if (aLow > aAnchorStart || !Walk(aPart.Elements.data(), aPart.AnchorBegin, false, aAnchorStart, aWindow))
        return std::nullopt;
    // start = aAnchorStart - d; the least start has the largest d.
    const std::uint64_t most = std::min<std::uint64_t>(mHigh, aAnchorStart - aLow);
    const std::uint64_t least = aHigh >= aAnchorStart ? 0 : aAnchorStart - aHigh;
    const std::uint64_t lowest = std::max<std::uint64_t>(least, mLow);
    for (std::uint64_t d = most; d >= lowest && d <= most; --d) {
        if (mReach[static_cast<std::size_t>(d)]) return aAnchorStart - d;
        if (d == 0) break;
    }
    return std::nullopt;
}

std::optional<std::uint64_t> PartVerifier::LatestStart(const CompiledPart& aPart, std::uint64_t aAnchorStart,
                                                       const StreamWindow& aWindow) {
    if (!Walk(aPart.Elements.data(), aPart.AnchorBegin, false, aAnchorStart, aWindow) || mLow > aAnchorStart)
        return std::nullopt;
    return aAnchorStart - mLow;
}

} // namespace detect
