#include "detect/BodySet.h"

#include "detect/PatternParser.h"

#include <algorithm>

namespace detect {
namespace {

// Parts span at most MaxPartLength bytes, so their lengths fit 32 bits.
std::uint32_t MinSpan(const std::vector<CompiledElement>& aElements, std::size_t aBegin, std::size_t aEnd) {
    return static_cast<std::uint32_t>(MinLength(aElements, aBegin, aEnd));
}

std::uint32_t MaxSpan(const std::vector<CompiledElement>& aElements, std::size_t aBegin, std::size_t aEnd) {
    return static_cast<std::uint32_t>(MaxLength(aElements, aBegin, aEnd));
}

// The longest run of fixed bytes (the first of equal length), cut to MaxAnchorLength.
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
    aPart.AnchorEnd = static_cast<std::uint32_t>(bestBegin + std::min<std::size_t>(bestLength, BodySet::MaxAnchorLength));
    aPart.MinPrefix = MinSpan(e, 0, bestBegin);
    aPart.MaxPrefix = MaxSpan(e, 0, bestBegin);
    aPart.MinSuffix = MinSpan(e, aPart.AnchorEnd, e.size());
    aPart.MaxSuffix = MaxSpan(e, aPart.AnchorEnd, e.size());
}

} // namespace

CompiledElement BodySet::Compile(const PatternElement& aElement) {
    CompiledElement element{aElement.Kind, aElement.Value, aElement.Mask, aElement.Min, aElement.Max};
    if (aElement.Kind == PatternElement::Type::Set) {
        element.Min = static_cast<std::uint32_t>(mSets.size());
        mSets.push_back(aElement.Members);
    }
    return element;
}

void BodySet::Reserve(std::size_t aCount) {
    mSignatures.reserve(aCount);
    mUsers.reserve(aCount);
    mAutomaton.Reserve(aCount);
}

void BodySet::Add(const BodySignature& aSignature, std::string_view aName, std::uint32_t aIndex) {
    CompiledBody body{aName, aIndex, aSignature.Target, aSignature.Where, {}};
    const auto bodyIndex = static_cast<std::uint32_t>(mSignatures.size());
    for (const PatternPart& part : aSignature.Parts) {
        CompiledPart compiled{{}, part.GapMin, 0, 0, 0, 0, 0, 0};
        for (const PatternElement& element : part.Elements) compiled.Elements.push_back(Compile(element));
        ChooseAnchor(compiled);
        std::vector<std::uint8_t> literal;
        for (std::uint32_t i = compiled.AnchorBegin; i < compiled.AnchorEnd; ++i)
            literal.push_back(compiled.Elements[i].Value);
        mAutomaton.Add(literal, static_cast<std::uint32_t>(mUsers.size()));
        mUsers.push_back({bodyIndex, static_cast<std::uint32_t>(body.Parts.size())});
        const std::uint32_t length = MaxSpan(compiled.Elements, 0, compiled.Elements.size());
        mLongestPart = std::max(mLongestPart, length);
        mSlack = std::max(mSlack, compiled.MaxSuffix - compiled.MinSuffix);
        mEstimate += sizeof(CompiledPart) + sizeof(AnchorUser) + compiled.Elements.size() * sizeof(CompiledElement) +
                     literal.size() * LiteralAutomaton::BytesPerLiteralByte;
        body.Parts.push_back(std::move(compiled));
    }
    mEstimate += sizeof(CompiledBody);
    mSignatures.push_back(std::move(body));
}

void BodySet::Finish(CancelPoll& aPoll) { mAutomaton.Finish(aPoll); }

std::size_t BodySet::MemoryBytes() const {
    std::size_t bytes = mSignatures.capacity() * sizeof(CompiledBody) + mUsers.capacity() * sizeof(AnchorUser);
    for (const CompiledBody& body : mSignatures) {
        bytes += body.Parts.capacity() * sizeof(CompiledPart);
        for (const CompiledPart& part : body.Parts) bytes += part.Elements.capacity() * sizeof(CompiledElement);
    }
    return bytes + mSets.capacity() * sizeof(mSets[0]) + mAutomaton.MemoryBytes();
}

} // namespace detect
