#pragma once

#include "detect/BodySet.h"
#include "detect/StreamWindow.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace detect {

// Checks a part around an anchor found in the stream. Bounded gaps are walked as
// sets of reachable offsets, so the work is linear in the part's length.
class PartVerifier {
public:
    explicit PartVerifier(const BodySet& aBodies) : mBodies(aBodies) {}
    void Reserve(std::uint32_t aLongestPart);

    // The least end of the elements after the anchor, which ends at aAnchorEnd.
    std::optional<std::uint64_t> EarliestEnd(const CompiledPart& aPart, std::uint64_t aAnchorEnd,
                                             const StreamWindow& aWindow);
    // The least start in [aLow, aHigh] of the elements before the anchor, which starts at aAnchorStart.
    std::optional<std::uint64_t> EarliestStart(const CompiledPart& aPart, std::uint64_t aAnchorStart,
                                               std::uint64_t aLow, std::uint64_t aHigh, const StreamWindow& aWindow);
    // The latest possible start of the part.
    std::optional<std::uint64_t> LatestStart(const CompiledPart& aPart, std::uint64_t aAnchorStart,
                                             const StreamWindow& aWindow);

    // Whether a part without ranged gaps matches around an anchor ending at aAnchorEnd; its
    // bytes must all be in aWindow.
    bool MatchesRigid(const CompiledPart& aPart, std::uint64_t aAnchorEnd, const StreamWindow& aWindow) const;

    // Reach steps taken since the last ResetSteps: the cost of the walks.
    std::uint64_t Steps() const { return mSteps; }
    void ResetSteps() { mSteps = 0; }

private:
    // Fills mReach with distances from aOrigin reachable after the elements; false when none is.
    bool Walk(const CompiledElement* aElements, std::size_t aCount, bool aForward, std::uint64_t aOrigin,
              const StreamWindow& aWindow);
    void Gap(const CompiledElement& aGap);
    void Byte(const CompiledElement& aElement, bool aForward, std::uint64_t aOrigin, const StreamWindow& aWindow);

    const BodySet& mBodies;
    std::vector<std::uint8_t> mReach, mNext;
    std::vector<std::int32_t> mDelta;
    std::uint64_t mSteps = 0;
    std::size_t mLow = 1, mHigh = 0; // bounds of the set distances; mLow > mHigh when empty
};

} // namespace detect
