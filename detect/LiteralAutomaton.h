#pragma once

#include "detect/Cancel.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace detect {

// Aho-Corasick automaton over byte literals, run in a stream.
//
// While the automaton is at most one byte deep its state is a function of the last
// byte alone, so a skip loop tests byte pairs against a 64 Kibit table (fits in L1)
// and only runs the automaton where a pair starts a literal or ends a one-byte literal;
// a pair that reports nothing itself is passed over too when it and the next byte start no
// literal (a filter of the trie's three-byte paths sized by their number, false positives only
// cost a stop).
// Deeper states keep sorted edges and failure links.
class LiteralAutomaton {
public:
    // Room for aCount literals, so that adding them moves no memory.
    void Reserve(std::size_t aCount) { mLiterals.reserve(aCount); }
    // Adds a non-empty literal; every end of it in the stream reports aValue.
    void Add(const std::vector<std::uint8_t>& aLiteral, std::uint32_t aValue);
    void Finish() {
        CancelPoll never;
        Finish(never);
    }
    // Builds the automaton from the literals added; throws Cancelled when aPoll asks to stop.
    void Finish(CancelPoll& aPoll);

    struct Cursor {
        std::uint32_t State = 0;
        int Previous = -1; // last byte fed, -1 at the object's start
    };

    // Feeds bytes; aOnHit(value, end) for each literal ending at absolute offset end (exclusive).
    template <class OnHit>
    void Scan(Cursor& aCursor, const std::uint8_t* aData, std::size_t aLength, std::uint64_t aBase,
              OnHit&& aOnHit) const;

    std::size_t MemoryBytes() const;
    bool Empty() const { return mStates.size() <= 1; }
    // Bytes a literal of this length may take once compiled, for memory budgets.
    static constexpr std::size_t BytesPerLiteralByte = 48;

private:
    struct State {
        std::uint32_t EdgeBegin = 0;
        std::uint32_t Fail = 0;
        std::uint32_t OutBegin = 0;
        std::uint32_t OutCount = 0;
        std::uint32_t OutLink = 0; // nearest shorter suffix state with outputs, 0 if none
        std::uint16_t EdgeCount = 0;
        std::uint8_t Depth = 0; // capped at 255
        std::uint8_t Byte = 0;  // depth 1: the byte leading here from the root
    };
    struct Literal {
        std::uint32_t Begin, Length, Value;
    };
    struct Edge {
        std::uint32_t Parent, Child;
        std::uint8_t Byte;
    };

    std::uint32_t Child(std::uint32_t aState, std::uint8_t aByte) const;
    std::uint32_t Step(std::uint32_t aState, std::uint8_t aByte) const;
    std::uint64_t Interesting(int aPrevious, std::uint8_t aByte) const {
        const std::uint32_t pair = static_cast<std::uint32_t>(aPrevious) << 8 | aByte;
        return (mPairs[pair >> 6] >> (pair & 63)) & 1;
    }
    bool Bit(const std::vector<std::uint64_t>& aBits, std::uint32_t aIndex) const {
        return (aBits[aIndex >> 6] >> (aIndex & 63)) & 1;
    }
    // Three bytes as one key, the first lowest, so that loads of adjacent bytes merge.
    static std::uint32_t Key(std::uint32_t aFirst, std::uint32_t aSecond, std::uint32_t aThird) {
        return aFirst | aSecond << 8 | aThird << 16;
    }
    // A three-byte path sets two bits of one word of the filter: one load tests both.
    struct TripleProbe {
        std::uint32_t Word;
        std::uint64_t Mask;
    };
    static TripleProbe Probe(std::uint32_t aKey, std::uint32_t aShift) {
        const std::uint64_t hash = (std::uint64_t{aKey} + 1) * 0x9E3779B97F4A7C15u;
        return {static_cast<std::uint32_t>(hash >> aShift),
                std::uint64_t{1} << (hash >> 20 & 63) | std::uint64_t{1} << (hash >> 26 & 63)};
    }
    std::uint32_t Triple(std::uint32_t aKey) const {
        const TripleProbe probe = Probe(aKey, mTripleShift);
        return static_cast<std::uint32_t>((mTriples[probe.Word] & probe.Mask) == probe.Mask);
    }
    // Whether the four bytes at aBytes may be a path of the trie: the same kind of filter.
    std::uint32_t Quad(const std::uint8_t* aBytes) const {
        const TripleProbe probe = Probe(Key(aBytes[0], aBytes[1], aBytes[2]) | std::uint32_t{aBytes[3]} << 24, mQuadShift);
        return static_cast<std::uint32_t>((mQuads[probe.Word] & probe.Mask) == probe.Mask);
    }
    // Whether the two-deep state of the key's first two bytes reports.
    std::uint32_t Emits(std::uint32_t aKey) const { return static_cast<std::uint32_t>(Bit(mEmits, aKey & 0xFFFF)); }
    // Whether the automaton must run at aByte after aPrevious, with aNext following.
    bool NeedsStop(int aPrevious, std::uint8_t aByte, std::uint8_t aNext) const {
        const std::uint32_t key = Key(static_cast<std::uint32_t>(aPrevious), aByte, aNext);
        return Emits(key) != 0 || Triple(key) != 0;
    }
    // Whether the dense skip may have to stop at aData[aAt] (0 < aAt, aAt + 1 < length), without
    // branches. The pair table is not asked: every pair that reports or begins a path starts a
    // literal. It reads two bytes of a 128 KiB table, not the three-byte filter (up to 2 MiB), which
    // a large set makes too big to stay in the cache between objects.
    std::uint32_t MayStop(const std::uint8_t* aData, std::size_t aAt) const {
        const std::uint32_t key = Key(aData[aAt - 1], aData[aAt], aData[aAt + 1]);
        return (static_cast<std::uint32_t>(mClasses[key & 0xFFFF]) >> (key >> 20)) & 1u;
    }
    // When most pairs start a literal the pair table skips little: eight positions at a time are
    // tested against the pairs' classes of third bytes, their loads independent, and only the
    // positions that pass are tested against the reporting pairs and the three-byte filter.
    // Returns the first position that may stop, or where fewer than nine bytes remain.
    std::size_t SkipDense(const std::uint8_t* aData, std::size_t aLength, std::size_t aAt) const {
        while (aAt + 9 <= aLength) {
            std::uint32_t may = 0;
            for (std::uint32_t k = 0; k < 8; ++k) may |= MayStop(aData, aAt + k) << k;
            for (; may != 0; may &= may - 1) {
                const std::size_t at = aAt + static_cast<std::size_t>(std::countr_zero(may));
                if (NeedsStop(aData[at - 1], aData[at], aData[at + 1])) return at;
            }
            aAt += 8;
        }
        return aAt;
    }
    template <class OnHit> void Emit(std::uint32_t aState, std::uint64_t aEnd, OnHit& aOnHit) const;
    void BuildTrie(CancelPoll& aPoll);
    static void Renumber(std::vector<Edge>& aEdges, std::vector<std::uint32_t>& aDepth,
                         std::vector<std::pair<std::uint32_t, std::uint32_t>>& aOutputs, CancelPoll& aPoll);
    void BuildLinks(CancelPoll& aPoll);
    void BuildPairs(CancelPoll& aPoll);
    void BuildTriples(CancelPoll& aPoll);
    template <class Visit> void ForEachPath(CancelPoll& aPoll, bool aFour, Visit&& aVisit) const;
    std::uint32_t SizeFilter(std::vector<std::uint64_t>& aFilter, CancelPoll& aPoll, bool aFour) const;
    void BuildQuads(CancelPoll& aPoll);

    // The literals until Finish.
    std::vector<Literal> mLiterals;
    std::vector<std::uint8_t> mLiteralBytes;

    std::vector<State> mStates{1};
    std::vector<std::uint8_t> mEdgeBytes;
    std::vector<std::uint32_t> mEdgeTargets;
    std::vector<std::uint32_t> mOutputs;
    std::array<std::uint32_t, 256> mRoot{}; // the root's complete transitions
    std::vector<std::uint32_t> mShallow;    // complete transitions of depth-1 states: [byte in << 8 | next]
    std::vector<std::uint64_t> mPairs = std::vector<std::uint64_t>(1024, 0);
    std::vector<std::uint64_t> mEmits = std::vector<std::uint64_t>(1024, 0);   // pairs whose state reports, by Key
    // Hashed three-byte paths, 64 Kibit to 16 Mibit: at least 32 bits a path, two bits set in one
    // word by each, so that random bytes stop in under one percent even when the pairs say little.
    std::vector<std::uint64_t> mTriples;
    // With dense pairs, per pair (by Key): bit k when a path goes on with a third byte whose top four
    // bits are k; all sixteen when the pair reports.
    std::vector<std::uint16_t> mClasses;
    std::uint32_t mTripleShift = 54; // 64 - log2 of the filter's words
    // States that report, themselves or through their output links.
    std::vector<std::uint64_t> mReports = std::vector<std::uint64_t>(1, 0);
    std::uint32_t mTwoDeep = 1;   // the first state two bytes deep
    std::uint32_t mThreeDeep = 1; // the first state three or more bytes deep
    std::uint32_t mFourDeep = 1;  // the first state four or more bytes deep
    // Hashed four-byte paths, sized as the three-byte filter: they tell a three-deep state that the
    // next byte goes no deeper.
    std::vector<std::uint64_t> mQuads;
    std::uint32_t mQuadShift = 54;
    bool mDensePairs = false;     // more than a quarter of the pairs start a literal
};

template <class OnHit>
void LiteralAutomaton::Emit(std::uint32_t aState, std::uint64_t aEnd, OnHit& aOnHit) const {
    for (std::uint32_t s = aState; s != 0; s = mStates[s].OutLink) {
        const State& state = mStates[s];
        for (std::uint32_t i = 0; i < state.OutCount; ++i) aOnHit(mOutputs[state.OutBegin + i], aEnd);
    }
}

template <class OnHit>
void LiteralAutomaton::Scan(Cursor& aCursor, const std::uint8_t* aData, std::size_t aLength, std::uint64_t aBase,
                            OnHit&& aOnHit) const {
    std::uint32_t state = aCursor.State;
    int previous = aCursor.Previous;
    std::size_t i = 0;
    bool stepped = false; // the automaton ran the last byte: where it stops, the next often stops too
    while (i < aLength) {
        // States are numbered by depth: no state record is read until the automaton steps.
        if (state < mTwoDeep && previous >= 0) {
            // Shallow: state == mRoot[previous]; skip bytes that cannot go deeper or end a literal.
            if (stepped) {
                stepped = false;
            } else if (i > 0 && mDensePairs) {
                i = SkipDense(aData, aLength, i);
                previous = aData[i - 1];
            } else if (i > 0) {
                // previous == aData[i - 1]: test four pairs at a time.
                while (i + 4 <= aLength && !(Interesting(aData[i - 1], aData[i]) | Interesting(aData[i], aData[i + 1]) |
                                             Interesting(aData[i + 1], aData[i + 2]) |
                                             Interesting(aData[i + 2], aData[i + 3])))
                    i += 4;
                previous = aData[i - 1];
            }
            while (i < aLength && !Interesting(previous, aData[i])) previous = aData[i++];
            if (i == aLength) {
                state = mRoot[static_cast<std::size_t>(previous)];
                break;
            }
            if (i + 1 < aLength && !NeedsStop(previous, aData[i], aData[i + 1])) {
                previous = aData[i++];
                state = mRoot[static_cast<std::size_t>(previous)];
                continue;
            }
            state = mShallow[static_cast<std::uint32_t>(previous) << 8 | aData[i]];
        } else if (state < mFourDeep && i >= 2 && Triple(Key(aData[i - 2], aData[i - 1], aData[i])) == 0 &&
                   (state < mThreeDeep || (i >= 3 && Quad(aData + i - 3) == 0))) {
            // Two deep and no path of three bytes continues, or three deep and no path of three or
            // four bytes ends here: no state deeper than two is reached, so the byte leads where it
            // leads from the last byte alone and the shallow loop takes over.
            state = mRoot[aData[i - 1]];
            continue;
        } else {
            state = Step(state, aData[i]);
        }
        previous = aData[i];
        if (Bit(mReports, state)) Emit(state, aBase + i + 1, aOnHit);
        stepped = true;
        ++i;
    }
    aCursor.State = state;
    aCursor.Previous = previous;
}

} // namespace detect
