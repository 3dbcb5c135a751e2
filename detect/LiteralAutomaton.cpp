#include "detect/LiteralAutomaton.h"

#include <algorithm>
#include <bit>
#include <deque>
#include <string_view>

namespace detect {

void LiteralAutomaton::Add(const std::vector<std::uint8_t>& aLiteral, std::uint32_t aValue) {
    mLiterals.push_back({static_cast<std::uint32_t>(mLiteralBytes.size()), static_cast<std::uint32_t>(aLiteral.size()),
                         aValue});
    mLiteralBytes.insert(mLiteralBytes.end(), aLiteral.begin(), aLiteral.end());
}

void LiteralAutomaton::Finish(CancelPoll& aPoll) {
    BuildTrie(aPoll);
    mLiterals = {};
    mLiteralBytes = {};
    BuildLinks(aPoll);
    BuildPairs(aPoll);
    BuildTriples(aPoll);
    BuildQuads(aPoll);
}

// Builds the trie in one pass over the literals in sorted order: each shares its path with the
// previous one up to their common prefix. Edges come out grouped by parent with increasing bytes.
void LiteralAutomaton::BuildTrie(CancelPoll& aPoll) {
    const auto view = [this](const Literal& aLiteral) {
        return std::basic_string_view<std::uint8_t>(mLiteralBytes.data() + aLiteral.Begin, aLiteral.Length);
    };
    std::vector<std::uint32_t> order(mLiterals.size());
    for (std::uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        aPoll.Advance();
        const auto va = view(mLiterals[a]), vb = view(mLiterals[b]);
        return va != vb ? va < vb : a < b;
    });
    // Reserved whole, so that no large copy runs between two polls.
    std::vector<Edge> edges;
    edges.reserve(mLiteralBytes.size());
    std::vector<std::uint32_t> path{0}, depth{0};
    depth.reserve(mLiteralBytes.size() + 1);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> outputs; // state, value
    outputs.reserve(mLiterals.size());
    std::basic_string_view<std::uint8_t> previous;
    for (std::uint32_t index : order) {
        const auto literal = view(mLiterals[index]);
        aPoll.Advance(CancelPoll::StepCost + literal.size());
        std::size_t common = 0;
        while (common < literal.size() && common < previous.size() && literal[common] == previous[common]) ++common;
        path.resize(common + 1);
        for (std::size_t k = common; k < literal.size(); ++k) {
            const auto child = static_cast<std::uint32_t>(depth.size());
            edges.push_back({path[k], child, literal[k]});
            depth.push_back(static_cast<std::uint32_t>(k + 1));
            path.push_back(child);
        }
        outputs.emplace_back(path[literal.size()], mLiterals[index].Value);
        previous = literal;
    }
    Renumber(edges, depth, outputs, aPoll);
    aPoll.Assign(mStates, depth.size(), State{});
    for (const Edge& edge : edges) {
        aPoll.Advance(1);
        ++mStates[edge.Parent].EdgeCount;
    }
    for (const auto& output : outputs) {
        aPoll.Advance(1);
        ++mStates[output.first].OutCount;
    }
    std::uint32_t edgeAt = 0, outAt = 0;
    for (std::uint32_t s = 0; s < mStates.size(); ++s) {
        aPoll.Advance(1);
        mStates[s].Depth = static_cast<std::uint8_t>(std::min<std::uint32_t>(depth[s], 255));
        mStates[s].EdgeBegin = edgeAt;
        mStates[s].OutBegin = outAt;
        edgeAt += mStates[s].EdgeCount;
        outAt += mStates[s].OutCount;
    }
    const auto firstAt = [&depth](std::uint32_t aDepth) {
        const auto at = std::partition_point(depth.begin(), depth.end(), [aDepth](std::uint32_t d) { return d < aDepth; });
        return static_cast<std::uint32_t>(at - depth.begin());
    };
    mTwoDeep = firstAt(2);
    mThreeDeep = firstAt(3);
    mFourDeep = firstAt(4);
    aPoll.Assign(mEdgeBytes, edges.size(), std::uint8_t{0});
    aPoll.Assign(mEdgeTargets, edges.size(), std::uint32_t{0});
    std::vector<std::uint32_t> fill;
    aPoll.Assign(fill, mStates.size(), std::uint32_t{0});
    for (const Edge& edge : edges) {
        aPoll.Advance(1);
        const std::uint32_t at = mStates[edge.Parent].EdgeBegin + fill[edge.Parent]++;
        mEdgeBytes[at] = edge.Byte;
        mEdgeTargets[at] = edge.Child;
    }
    aPoll.Assign(mOutputs, outputs.size(), std::uint32_t{0});
    aPoll.Assign(fill, mStates.size(), std::uint32_t{0});
    for (const auto& [state, value] : outputs) {
        aPoll.Advance(1);
        mOutputs[mStates[state].OutBegin + fill[state]++] = value;
    }
}

// Numbers the states by depth (a stable counting sort), so that the shallow ones, which most
// bytes of a stream reach, share cache lines and pages instead of spreading over the whole trie.
void LiteralAutomaton::Renumber(std::vector<Edge>& aEdges, std::vector<std::uint32_t>& aDepth,
                                std::vector<std::pair<std::uint32_t, std::uint32_t>>& aOutputs, CancelPoll& aPoll) {
    std::array<std::uint32_t, 257> start{};
    for (const std::uint32_t d : aDepth) ++start[std::min<std::uint32_t>(d, 255) + 1];
    for (std::size_t d = 1; d < start.size(); ++d) start[d] += start[d - 1];
    std::vector<std::uint32_t> number;
    aPoll.Assign(number, aDepth.size(), std::uint32_t{0});
    for (std::uint32_t s = 0; s < aDepth.size(); ++s) {
        aPoll.Advance(1);
        number[s] = start[std::min<std::uint32_t>(aDepth[s], 255)]++;
    }
    std::vector<std::uint32_t> depth;
    aPoll.Assign(depth, aDepth.size(), std::uint32_t{0});
    for (std::uint32_t s = 0; s < aDepth.size(); ++s) depth[number[s]] = aDepth[s];
    aDepth = std::move(depth);
    for (Edge& edge : aEdges) {
        aPoll.Advance(1);
        edge.Parent = number[edge.Parent];
        edge.Child = number[edge.Child];
    }
    for (auto& output : aOutputs) output.first = number[output.first];
}

std::uint32_t LiteralAutomaton::Child(std::uint32_t aState, std::uint8_t aByte) const {
    const State& state = mStates[aState];
    const std::uint8_t* begin = mEdgeBytes.data() + state.EdgeBegin;
    const std::uint8_t* end = begin + state.EdgeCount;
    const std::uint8_t* found = state.EdgeCount <= 8 ? std::find(begin, end, aByte) : std::lower_bound(begin, end, aByte);
    if (found == end || *found != aByte) return 0;
    return mEdgeTargets[state.EdgeBegin + static_cast<std::uint32_t>(found - begin)];
}

std::uint32_t LiteralAutomaton::Step(std::uint32_t aState, std::uint8_t aByte) const {
    for (std::uint32_t s = aState;; s = mStates[s].Fail) {
        if (s == 0) return mRoot[aByte];
        if (mStates[s].Depth == 1 && !mShallow.empty()) return mShallow[mStates[s].Byte << 8 | aByte];
        if (const std::uint32_t next = Child(s, aByte)) return next;
    }
}

void LiteralAutomaton::BuildLinks(CancelPoll& aPoll) {
    std::deque<std::uint32_t> queue;
    for (int b = 0; b < 256; ++b) {
        mRoot[b] = Child(0, static_cast<std::uint8_t>(b));
        if (mRoot[b] != 0) {
            mStates[mRoot[b]].Byte = static_cast<std::uint8_t>(b);
            queue.push_back(mRoot[b]);
        }
    }
    while (!queue.empty()) {
        const std::uint32_t s = queue.front();
        queue.pop_front();
        aPoll.Advance();
        const State state = mStates[s];
        for (std::uint32_t e = 0; e < state.EdgeCount; ++e) {
            const std::uint32_t child = mEdgeTargets[state.EdgeBegin + e];
            const std::uint32_t fail = Step(state.Fail, mEdgeBytes[state.EdgeBegin + e]);
            State& c = mStates[child];
            c.Fail = fail;
            c.OutLink = mStates[fail].OutCount > 0 ? fail : mStates[fail].OutLink;
            queue.push_back(child);
        }
    }
}

void LiteralAutomaton::BuildPairs(CancelPoll& aPoll) {
    std::vector<std::uint32_t> shallow(65536);
    for (int previous = 0; previous < 256; ++previous) {
        aPoll.Check();
        for (int byte = 0; byte < 256; ++byte) {
            const auto b = static_cast<std::uint8_t>(byte);
            const std::uint32_t child = mRoot[previous] != 0 ? Child(mRoot[previous], b) : 0;
            shallow[static_cast<std::size_t>(previous << 8 | byte)] = child != 0 ? child : mRoot[b];
            const bool deeper = child != 0;
            const bool ends = mRoot[b] != 0 && mStates[mRoot[b]].OutCount > 0;
            if (deeper || ends) {
                const std::uint32_t pair = static_cast<std::uint32_t>(previous) << 8 | b;
                mPairs[pair >> 6] |= std::uint64_t{1} << (pair & 63);
            }
        }
    }
    mShallow = std::move(shallow);
    std::size_t set = 0;
    for (const std::uint64_t word : mPairs) set += static_cast<std::size_t>(std::popcount(word));
    mDensePairs = set > 65536 / 4;
}

void LiteralAutomaton::BuildTriples(CancelPoll& aPoll) {
    aPoll.Assign(mReports, mStates.size() / 64 + 1, std::uint64_t{0});
    for (std::uint32_t s = 0; s < mStates.size(); ++s) {
        aPoll.Advance(1);
        if (mStates[s].OutCount > 0 || mStates[s].OutLink != 0) mReports[s >> 6] |= std::uint64_t{1} << (s & 63);
    }
    if (mDensePairs) aPoll.Assign(mClasses, 65536, std::uint16_t{0});
    for (std::uint32_t pair = 0; pair < 65536; ++pair) {
        const std::uint32_t key = Key(pair >> 8, pair & 0xFF, 0);
        if (!Bit(mReports, mShallow[pair])) continue;
        mEmits[key >> 6] |= std::uint64_t{1} << (key & 63);
        if (mDensePairs) mClasses[key] = 0xFFFF;
    }
    mTripleShift = SizeFilter(mTriples, aPoll, false);
    ForEachPath(aPoll, false, [this](std::uint32_t aKey) {
        const TripleProbe probe = Probe(aKey, mTripleShift);
        mTriples[probe.Word] |= probe.Mask;
        if (mDensePairs) mClasses[aKey & 0xFFFF] |= static_cast<std::uint16_t>(1u << (aKey >> 20));
    });
}

// Calls aVisit(key) for each path of the trie three bytes deep, or four with aFour, its bytes
// as Key and Quad read them.
template <class Visit> void LiteralAutomaton::ForEachPath(CancelPoll& aPoll, bool aFour, Visit&& aVisit) const {
    const State& root = mStates[0];
    for (std::uint32_t e1 = 0; e1 < root.EdgeCount; ++e1) {
        aPoll.Check();
        const State& first = mStates[mEdgeTargets[root.EdgeBegin + e1]];
        for (std::uint32_t e2 = 0; e2 < first.EdgeCount; ++e2) {
            const State& second = mStates[mEdgeTargets[first.EdgeBegin + e2]];
            for (std::uint32_t e3 = 0; e3 < second.EdgeCount; ++e3) {
                const std::uint32_t child = mEdgeTargets[second.EdgeBegin + e3];
                const std::uint32_t key = Key(mEdgeBytes[root.EdgeBegin + e1], mEdgeBytes[first.EdgeBegin + e2],
                                              mEdgeBytes[second.EdgeBegin + e3]);
                if (!aFour) {
                    aVisit(key);
                    continue;
                }
                const State& third = mStates[child];
                for (std::uint32_t e4 = 0; e4 < third.EdgeCount; ++e4)
                    aVisit(key | std::uint32_t{mEdgeBytes[third.EdgeBegin + e4]} << 24);
            }
        }
    }
}

// Sizes a filter of the paths three (or four) bytes deep at 32 bits a path, 64 Kibit to 16 Mibit;
// returns the shift that gives a hash's word.
std::uint32_t LiteralAutomaton::SizeFilter(std::vector<std::uint64_t>& aFilter, CancelPoll& aPoll, bool aFour) const {
    std::size_t paths = 0;
    ForEachPath(aPoll, aFour, [&paths](std::uint32_t) { ++paths; });
    std::uint32_t log2Bits = 16;
    while (log2Bits < 24 && (std::size_t{1} << log2Bits) < paths * 32) ++log2Bits;
    aPoll.Assign(aFilter, std::size_t{1} << (log2Bits - 6), std::uint64_t{0});
    return 64 - (log2Bits - 6);
}

void LiteralAutomaton::BuildQuads(CancelPoll& aPoll) {
    mQuadShift = SizeFilter(mQuads, aPoll, true);
    ForEachPath(aPoll, true, [this](std::uint32_t aKey) {
        const TripleProbe probe = Probe(aKey, mQuadShift);
        mQuads[probe.Word] |= probe.Mask;
    });
}

std::size_t LiteralAutomaton::MemoryBytes() const {
    return mStates.capacity() * sizeof(State) + mEdgeBytes.capacity() + mEdgeTargets.capacity() * 4 +
           mOutputs.capacity() * 4 + sizeof mRoot + mPairs.capacity() * 8 + mShallow.capacity() * 4 +
           (mEmits.capacity() + mTriples.capacity() + mQuads.capacity() + mReports.capacity()) * 8 +
           mClasses.capacity() * 2;
}

} // namespace detect
