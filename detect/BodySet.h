#pragma once

#include "detect/Cancel.h"
#include "detect/LiteralAutomaton.h"
#include "detect/Signature.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace detect {

// A pattern element in 12 bytes: byte sets live in the BodySet's pool.
struct CompiledElement {
    PatternElement::Type Kind = PatternElement::Type::Byte;
    std::uint8_t Value = 0;
    std::uint8_t Mask = 0xFF;
    std::uint32_t Min = 0; // Gap: least bytes; Set: index in the pool
    std::uint32_t Max = 0; // Gap: most bytes
    bool IsFixed() const { return Kind == PatternElement::Type::Byte && Mask == 0xFF; }
};

// A part of a compiled pattern: its elements and the fixed run (the anchor, at most
// MaxAnchorLength bytes) the automaton finds. A first part with a wide ranged gap is compiled
// as a chain of fixed-length segments, each linked to the previous one by the gap's range.
struct CompiledPart {
    std::vector<CompiledElement> Elements;
    std::uint32_t GapMin = 0;
    bool Linked = false;                  // starts LinkMin..LinkMax bytes after the previous segment's end
    bool Chained = false;                 // a segment of a chain
    std::uint32_t LinkMin = 0, LinkMax = 0;
    std::uint32_t LinkSlot = 0;           // Linked: its index among all linked segments
    bool Rigid = false;                   // no ranged gap: one start and one end per anchor
    std::uint32_t AnchorBegin = 0; // element range of the anchor
    std::uint32_t AnchorEnd = 0;
    std::uint32_t MinPrefix = 0, MaxPrefix = 0; // bytes before the anchor
    std::uint32_t MinSuffix = 0, MaxSuffix = 0; // bytes after it
};

struct CompiledBody {
    std::string_view Name;
    std::uint32_t Signature = 0; // index in database order
    TargetType Target = TargetType::Any;
    Offset Where;
    std::vector<CompiledPart> Parts;
    std::uint32_t FirstUser = 0; // the user of Parts[k] is FirstUser + k
    // Whether Parts[aPart] ends a signature part: the last segment of a chain, or a whole part.
    bool EndsPart(std::size_t aPart) const { return aPart + 1 == Parts.size() || !Parts[aPart + 1].Linked; }
};

// Who is told when an anchor literal is found, with a test of eight bytes around the anchor
// that every match of the part there passes: most anchor hits that fail are turned away by one
// load, before the part is looked at.
struct AnchorUser {
    std::uint32_t Body = 0; // index in BodySet::Signatures
    std::uint32_t Part = 0;
    std::uint32_t Group = 0; // the anchor literal's group
    std::int16_t ProbeAt = 0; // where the eight bytes start, from the anchor's end
    // The part is its anchor alone, needs no start window and is followed by a linked segment:
    // a hit that finds its body still at this part only links the next segment.
    bool OnlyLinks = false;
    std::uint64_t ProbeMask = 0; // in memory order; 0: no test
    std::uint64_t ProbeValue = 0;
    // Whether the eight bytes at aBytes (read from ProbeAt) rule the part out here.
    bool Refutes(const std::uint8_t* aBytes) const {
        std::uint64_t bytes;
        std::memcpy(&bytes, aBytes, sizeof bytes);
        return (bytes & ProbeMask) != ProbeValue;
    }
};

// Body signatures compiled for matching: one automaton over every part's distinct anchor
// literal, each literal a group whose hit is handled once for all the parts sharing it.
class BodySet {
public:
    // Sixteen fixed bytes are found rarely enough; each byte more is a trie state per literal
    // (60,000 bodies: 64 MB compiled and 0.41 s at 16, 77 MB and 0.52 s at 32).
    static constexpr std::uint32_t MaxAnchorLength = 16;
    // A ranged gap at least this wide in a first part makes it a chain of segments.
    static constexpr std::uint32_t WideGap = 32;

    // Room for aCount signatures of one part, so that adding them moves no memory.
    void Reserve(std::size_t aCount);
    void Add(const BodySignature& aSignature, std::string_view aName, std::uint32_t aIndex);
    // Compiles what was added; throws Cancelled when aPoll asks to stop.
    void Finish(CancelPoll& aPoll);

    const std::vector<CompiledBody>& Signatures() const { return mSignatures; }
    const LiteralAutomaton& Automaton() const { return mAutomaton; }
    const AnchorUser& User(std::uint32_t aValue) const { return mUsers[aValue]; }
    std::uint32_t GroupCount() const {
        return mStarterBegin.empty() ? 0 : static_cast<std::uint32_t>(mStarterBegin.size()) - 1;
    }
    // The users of a group's literal that are first parts, live from an object's start.
    const std::uint32_t* StartersBegin(std::uint32_t aGroup) const { return mStarters.data() + mStarterBegin[aGroup]; }
    const std::uint32_t* StartersEnd(std::uint32_t aGroup) const { return mStarters.data() + mStarterBegin[aGroup + 1]; }
    std::uint32_t LongestPart() const { return mLongestPart; }
    std::uint32_t LinkedCount() const { return mLinkedCount; }
    // Most a part's end can lie past its anchor's verification point's least end.
    std::uint32_t Slack() const { return mSlack; }
    std::size_t MemoryBytes() const;
    // An upper estimate of MemoryBytes() once Finish has run, kept as signatures are added.
    std::size_t EstimatedBytes() const { return mEstimate; }

    bool Accepts(const CompiledElement& aElement, std::uint8_t aByte) const {
        if (aElement.Kind == PatternElement::Type::Set) return (mSets[aElement.Min][aByte >> 6] >> (aByte & 63)) & 1;
        return (aByte & aElement.Mask) == aElement.Value;
    }

private:
    CompiledElement Compile(const PatternElement& aElement);
    std::vector<CompiledElement> CompileElements(const PatternPart& aPart);
    void AddPart(CompiledBody& aBody, CompiledPart aPart);
    std::uint32_t GroupOf(const std::vector<std::uint8_t>& aLiteral);

    std::vector<std::array<std::uint64_t, 4>> mSets;
    std::size_t mEstimate = 0;
    std::vector<CompiledBody> mSignatures;
    std::vector<AnchorUser> mUsers;
    std::unordered_map<std::string, std::uint32_t> mGroups; // until Finish
    std::vector<std::uint32_t> mStarters, mStarterBegin;
    LiteralAutomaton mAutomaton;
    std::uint32_t mLongestPart = 0;
    std::uint32_t mSlack = 0;
    std::uint32_t mLinkedCount = 0;
};

} // namespace detect
