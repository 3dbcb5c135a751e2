#include "detect/BodySet.h"

#include "detect/PatternParser.h"

#include <algorithm>

namespace detect {
namespace {

// The longest run of fixed bytes; the first of equal length.
void ChooseAnchor(CompiledPart& aPart) {
    const auto& e = aPart.Elements;
    std::size_t bestBegin = 0, bestLength = 0;
    for (std::size_t i = 0; i < e.size();) {
        if (!e[i].IsFixed()) {
            ++i;
            continue;
        }
        std::size_t j = i;
        while (j < e.size() && e[j].IsFixed()) ++j;
        if (j - i > bestLength) {
            bestBegin = i;
            bestLength = j - i;
        }
        i = j;
    }
    aPart.AnchorBegin = static_cast<std::uint32_t>(bestBegin);
    aPart.AnchorEnd = static_cast<std::uint32_t>(bestBegin + bestLength);
    aPart.MinPrefix = static_cast<std::uint32_t>(MinLength(e, 0, bestBegin));
    aPart.MaxPrefix = static_cast<std::uint32_t>(MaxLength(e, 0, bestBegin));
    aPart.MinSuffix = static_cast<std::uint32_t>(MinLength(e, aPart.AnchorEnd, e.size()));
    aPart.MaxSuffix = static_cast<std::uint32_t>(MaxLength(e, aPart.AnchorEnd, e.size()));
}

} // namespace

void BodySet::Add(const BodySignature& aSignature, std::string_view aName, std::uint32_t aIndex) {
    CompiledBody body{aName, aIndex, aSignature.Target, aSignature.Where, {}};
    const auto bodyIndex = static_cast<std::uint32_t>(mSignatures.size());
    for (const PatternPart& part : aSignature.Parts) {
        CompiledPart compiled{part.Elements, part.GapMin, 0, 0, 0, 0, 0, 0};
        ChooseAnchor(compiled);
        std::vector<std::uint8_t> literal;
        for (std::uint32_t i = compiled.AnchorBegin; i < compiled.AnchorEnd; ++i)
            literal.push_back(compiled.Elements[i].Value);
        mAutomaton.Add(literal, static_cast<std::uint32_t>(mUsers.size()));
        mUsers.push_back({bodyIndex, static_cast<std::uint32_t>(body.Parts.size())});
        const auto length = static_cast<std::uint32_t>(MaxLength(part.Elements, 0, part.Elements.size()));
        mLongestPart = std::max(mLongestPart, length);
        mSlack = std::max(mSlack, compiled.MaxSuffix - compiled.MinSuffix);
        body.Parts.push_back(std::move(compiled));
    }
    mSignatures.push_back(std::move(body));
}

void BodySet::Finish() { mAutomaton.Finish(); }

std::size_t BodySet::MemoryBytes() const {
    std::size_t bytes = mSignatures.capacity() * sizeof(CompiledBody) + mUsers.capacity() * sizeof(AnchorUser);
    for (const CompiledBody& body : mSignatures) {
        bytes += body.Parts.capacity() * sizeof(CompiledPart);
        for (const CompiledPart& part : body.Parts) bytes += part.Elements.capacity() * sizeof(PatternElement);
    }
    return bytes + mAutomaton.MemoryBytes();
}

} // namespace detect
