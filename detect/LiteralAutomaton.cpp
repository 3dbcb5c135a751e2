#include "detect/LiteralAutomaton.h"

#include <algorithm>
#include <deque>

namespace detect {

void LiteralAutomaton::Add(const std::vector<std::uint8_t>& aLiteral, std::uint32_t aValue) {
    std::uint32_t state = 0;
    for (std::uint8_t byte : aLiteral) {
        auto& children = mBuildChildren[state];
        auto found = std::find_if(children.begin(), children.end(), [byte](const auto& c) { return c.first == byte; });
        if (found != children.end()) {
            state = found->second;
            continue;
        }
        const auto next = static_cast<std::uint32_t>(mBuildChildren.size());
        children.emplace_back(byte, next);
        mBuildChildren.emplace_back();
        mBuildOutputs.emplace_back();
        state = next;
    }
    mBuildOutputs[state].push_back(aValue);
}

void LiteralAutomaton::Finish() {
    mStates.assign(mBuildChildren.size(), State{});
    for (std::uint32_t s = 0; s < mBuildChildren.size(); ++s) {
        auto& children = mBuildChildren[s];
        std::sort(children.begin(), children.end());
        State& state = mStates[s];
        state.EdgeBegin = static_cast<std::uint32_t>(mEdgeBytes.size());
        state.EdgeCount = static_cast<std::uint32_t>(children.size());
        for (const auto& [byte, target] : children) {
            mEdgeBytes.push_back(byte);
            mEdgeTargets.push_back(target);
        }
        state.OutBegin = static_cast<std::uint32_t>(mOutputs.size());
        state.OutCount = static_cast<std::uint32_t>(mBuildOutputs[s].size());
        mOutputs.insert(mOutputs.end(), mBuildOutputs[s].begin(), mBuildOutputs[s].end());
    }
    mBuildChildren = {};
    mBuildOutputs = {};
    BuildLinks();
    BuildPairs();
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

void LiteralAutomaton::BuildLinks() {
    std::deque<std::uint32_t> queue;
    for (int b = 0; b < 256; ++b) {
        mRoot[b] = Child(0, static_cast<std::uint8_t>(b));
        if (mRoot[b] != 0) {
            mStates[mRoot[b]].Depth = 1;
            mStates[mRoot[b]].Byte = static_cast<std::uint32_t>(b);
            queue.push_back(mRoot[b]);
        }
    }
    while (!queue.empty()) {
        const std::uint32_t s = queue.front();
        queue.pop_front();
        const State state = mStates[s];
        for (std::uint32_t e = 0; e < state.EdgeCount; ++e) {
            const std::uint32_t child = mEdgeTargets[state.EdgeBegin + e];
            const std::uint32_t fail = Step(state.Fail, mEdgeBytes[state.EdgeBegin + e]);
            State& c = mStates[child];
            c.Depth = state.Depth + 1;
            c.Fail = fail;
            c.OutLink = mStates[fail].OutCount > 0 ? fail : mStates[fail].OutLink;
            queue.push_back(child);
        }
    }
}

void LiteralAutomaton::BuildPairs() {
    std::vector<std::uint32_t> shallow(65536);
    for (int previous = 0; previous < 256; ++previous) {
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
}

std::size_t LiteralAutomaton::MemoryBytes() const {
    return mStates.capacity() * sizeof(State) + mEdgeBytes.capacity() + mEdgeTargets.capacity() * 4 +
           mOutputs.capacity() * 4 + sizeof mRoot + mPairs.capacity() * 8 + mShallow.capacity() * 4;
}

} // namespace detect
