#include "detect/BodySet.h"

#include "detect/PatternParser.h"

#include <algorithm>
#include <bit>
#include <cstring>

namespace detect {
namespace {

// Parts span at most MaxPartLength bytes, so their lengths fit 32 bits.
std::uint32_t MinSpan(const std::vector<CompiledElement>& aElements, std::size_t aBegin, std::size_t aEnd) {
    return static_cast<std::uint32_t>(MinLength(aElements, aBegin, aEnd));
}

std::uint32_t MaxSpan(const std::vector<CompiledElement>& aElements, std::size_t aBegin, std::size_t aEnd) {
    return static_cast<std::uint32_t>(MaxLength(aElements, aBegin, aEnd));
}

// The longest run of fixed bytes (the last of equal length) cut to its last MaxAnchorLength
// bytes: the less of a part follows its anchor, the less waits for bytes to come.
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
        if (j - i >= bestLength) {
            bestBegin = i;
            bestLength = j - i;
        }
        i = j;
    }
    const std::size_t length = std::min<std::size_t>(bestLength, BodySet::MaxAnchorLength);
    aPart.AnchorBegin = static_cast<std::uint32_t>(bestBegin + bestLength - length);
    aPart.AnchorEnd = static_cast<std::uint32_t>(bestBegin + bestLength);
    const std::size_t anchorBegin = aPart.AnchorBegin;
    aPart.MinPrefix = MinSpan(e, 0, anchorBegin);
    aPart.MaxPrefix = MaxSpan(e, 0, anchorBegin);
    aPart.MinSuffix = MinSpan(e, aPart.AnchorEnd, e.size());
    aPart.MaxSuffix = MaxSpan(e, aPart.AnchorEnd, e.size());
}

bool HasFixed(const std::vector<CompiledElement>& aElements) {
    return std::any_of(aElements.begin(), aElements.end(), [](const CompiledElement& e) { return e.IsFixed(); });
}

bool IsRangedGap(const CompiledElement& aElement) {
    return aElement.Kind == PatternElement::Type::Gap && aElement.Min != aElement.Max;
}

// A part cut at every ranged gap once one of them is WideGap wide or more, so that each segment
// has a fixed length and verifying it never walks the gap; whole when a segment would have no
// fixed byte to anchor it.
std::vector<CompiledPart> Split(std::vector<CompiledElement> aElements) {
    const bool wide = std::any_of(aElements.begin(), aElements.end(), [](const CompiledElement& e) {
        return IsRangedGap(e) && e.Max - e.Min >= BodySet::WideGap;
    });
    std::vector<CompiledPart> segments(1);
    if (wide) {
        for (const CompiledElement& element : aElements) {
            if (!IsRangedGap(element)) {
                segments.back().Elements.push_back(element);
                continue;
            }
            segments.emplace_back();
            segments.back().Linked = true;
            segments.back().LinkMin = element.Min;
            segments.back().LinkMax = element.Max;
        }
        if (std::all_of(segments.begin(), segments.end(), [](const CompiledPart& p) { return HasFixed(p.Elements); })) {
            for (CompiledPart& segment : segments) segment.Chained = true;
            return segments;
        }
        segments.assign(1, CompiledPart{});
    }
    segments[0].Elements = std::move(aElements);
    return segments;
}

struct Constraint {
    int At; // from the anchor's end
    std::uint8_t Mask, Value;
};

// What the elements at a fixed distance from the anchor ask of single bytes, the anchor's own
// bytes left out, within ProbeReach bytes of it.
constexpr int ProbeReach = 16;

std::vector<Constraint> FixedConstraints(const CompiledPart& aPart) {
    std::vector<Constraint> found;
    const auto& e = aPart.Elements;
    int at = -static_cast<int>(aPart.AnchorEnd - aPart.AnchorBegin);
    for (std::size_t i = aPart.AnchorBegin; i-- > 0 && at > -ProbeReach;) {
        if (IsRangedGap(e[i])) break;
        at -= e[i].Kind == PatternElement::Type::Gap ? static_cast<int>(e[i].Min) : 1;
        if (e[i].Kind == PatternElement::Type::Byte && e[i].Mask != 0) found.push_back({at, e[i].Mask, e[i].Value});
    }
    at = 0;
    for (std::size_t i = aPart.AnchorEnd; i < e.size() && at < ProbeReach; ++i) {
        if (IsRangedGap(e[i])) break;
        if (e[i].Kind == PatternElement::Type::Byte && e[i].Mask != 0) found.push_back({at, e[i].Mask, e[i].Value});
        at += e[i].Kind == PatternElement::Type::Gap ? static_cast<int>(e[i].Min) : 1;
    }
    return found;
}

// The eight bytes that hold the most of those constraints' bits.
void SetProbe(AnchorUser& aUser, const CompiledPart& aPart) {
    const std::vector<Constraint> found = FixedConstraints(aPart);
    int best = 0;
    for (const Constraint& from : found) {
        int bits = 0;
        for (const Constraint& c : found)
            if (c.At >= from.At && c.At < from.At + 8) bits += std::popcount(c.Mask);
        if (bits <= best) continue;
        best = bits;
        aUser.ProbeAt = static_cast<std::int16_t>(from.At);
    }
    std::uint8_t mask[8] = {}, value[8] = {};
    for (const Constraint& c : found) {
        if (best == 0 || c.At < aUser.ProbeAt || c.At >= aUser.ProbeAt + 8) continue;
        mask[c.At - aUser.ProbeAt] = c.Mask;
        value[c.At - aUser.ProbeAt] = c.Value & c.Mask;
    }
    std::memcpy(&aUser.ProbeMask, mask, sizeof mask);
    std::memcpy(&aUser.ProbeValue, value, sizeof value);
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

// Runs of any-byte wildcards become fixed gaps, merged with a neighbouring gap, so that the
// verifier steps over a run at once.
std::vector<CompiledElement> BodySet::CompileElements(const PatternPart& aPart) {
    std::vector<CompiledElement> elements;
    for (const PatternElement& element : aPart.Elements) {
        const bool gap = element.Kind == PatternElement::Type::Gap;
        if (!gap && !(element.Kind == PatternElement::Type::Byte && element.Mask == 0)) {
            elements.push_back(Compile(element));
            continue;
        }
        const std::uint32_t min = gap ? element.Min : 1, max = gap ? element.Max : 1;
        if (!elements.empty() && elements.back().Kind == PatternElement::Type::Gap) {
            elements.back().Min += min;
            elements.back().Max += max;
        } else {
            elements.push_back({PatternElement::Type::Gap, 0, 0, min, max});
        }
    }
    return elements;
}

std::uint32_t BodySet::GroupOf(const std::vector<std::uint8_t>& aLiteral) {
    const auto [at, added] = mGroups.try_emplace(std::string(aLiteral.begin(), aLiteral.end()),
                                                 static_cast<std::uint32_t>(mGroups.size()));
    if (added) mAutomaton.Add(aLiteral, at->second);
    return at->second;
}

void BodySet::AddPart(CompiledBody& aBody, CompiledPart aPart) {
    ChooseAnchor(aPart);
    if (aPart.Linked) aPart.LinkSlot = mLinkedCount++;
    aPart.Rigid = std::none_of(aPart.Elements.begin(), aPart.Elements.end(), IsRangedGap);
    std::vector<std::uint8_t> literal;
    for (std::uint32_t i = aPart.AnchorBegin; i < aPart.AnchorEnd; ++i) literal.push_back(aPart.Elements[i].Value);
    mUsers.push_back({static_cast<std::uint32_t>(mSignatures.size()), static_cast<std::uint32_t>(aBody.Parts.size()),
                      GroupOf(literal)});
    SetProbe(mUsers.back(), aPart);
    const std::uint32_t length = MaxSpan(aPart.Elements, 0, aPart.Elements.size());
    mLongestPart = std::max(mLongestPart, length);
    mSlack = std::max(mSlack, aPart.MaxSuffix - aPart.MinSuffix);
    mEstimate += sizeof(CompiledPart) + sizeof(AnchorUser) + aPart.Elements.size() * sizeof(CompiledElement) +
                 literal.size() * LiteralAutomaton::BytesPerLiteralByte + 2 * sizeof(std::uint32_t);
    aBody.Parts.push_back(std::move(aPart));
}

void BodySet::Reserve(std::size_t aCount) {
    mSignatures.reserve(aCount);
    mUsers.reserve(aCount);
    mAutomaton.Reserve(aCount);
}

void BodySet::Add(const BodySignature& aSignature, std::string_view aName, std::uint32_t aIndex) {
    CompiledBody body{aName, aIndex, aSignature.Target, aSignature.Where, {}, static_cast<std::uint32_t>(mUsers.size())};
    for (const PatternPart& part : aSignature.Parts) {
        std::vector<CompiledElement> elements = CompileElements(part);
        // Only a first part found anywhere is chained: it needs no earlier part's end and no start.
        if (body.Parts.empty() && body.Where.Kind == OffsetKind::Any) {
            for (CompiledPart& segment : Split(std::move(elements))) AddPart(body, std::move(segment));
            continue;
        }
        CompiledPart compiled;
        compiled.Elements = std::move(elements);
        compiled.GapMin = part.GapMin;
        AddPart(body, std::move(compiled));
    }
    for (std::uint32_t k = 0; k < body.Parts.size(); ++k) {
        const CompiledPart& part = body.Parts[k];
        mUsers[body.FirstUser + k].OnlyLinks = part.Elements.size() == part.AnchorEnd - part.AnchorBegin &&
                                               !body.EndsPart(k) && !part.Linked && body.Target != TargetType::MzFile &&
                                               (k > 0 || body.Where.Kind == OffsetKind::Any);
    }
    mEstimate += sizeof(CompiledBody);
    mSignatures.push_back(std::move(body));
}

void BodySet::Finish(CancelPoll& aPoll) {
    mStarterBegin.assign(mGroups.size() + 2, 0);
    for (const AnchorUser& user : mUsers)
        if (user.Part == 0) ++mStarterBegin[user.Group + 2];
    for (std::size_t g = 2; g < mStarterBegin.size(); ++g) mStarterBegin[g] += mStarterBegin[g - 1];
    mStarters.resize(mStarterBegin.back());
    for (std::uint32_t u = 0; u < mUsers.size(); ++u)
        if (mUsers[u].Part == 0) mStarters[mStarterBegin[mUsers[u].Group + 1]++] = u;
    mStarterBegin.pop_back();
    mGroups = {};
    mAutomaton.Finish(aPoll);
}

std::size_t BodySet::MemoryBytes() const {
    std::size_t bytes = mSignatures.capacity() * sizeof(CompiledBody) + mUsers.capacity() * sizeof(AnchorUser) +
                        (mStarters.capacity() + mStarterBegin.capacity()) * sizeof(std::uint32_t);
    for (const CompiledBody& body : mSignatures) {
        bytes += body.Parts.capacity() * sizeof(CompiledPart);
        for (const CompiledPart& part : body.Parts) bytes += part.Elements.capacity() * sizeof(CompiledElement);
    }
    return bytes + mSets.capacity() * sizeof(mSets[0]) + mAutomaton.MemoryBytes();
}

} // namespace detect
