#pragma once

#include "detect/Cancel.h"
#include "detect/LiteralAutomaton.h"
#include "detect/Signature.h"

#include <array>
#include <cstdint>
#include <string_view>
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
// MaxAnchorLength bytes) the automaton finds.
struct CompiledPart {
    std::vector<CompiledElement> Elements;
    std::uint32_t GapMin = 0;
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
};

// Who is told when an anchor literal is found.
struct AnchorUser {
    std::uint32_t Body = 0; // index in BodySet::Signatures
    std::uint32_t Part = 0;
};

// Body signatures compiled for matching: one automaton over every part's anchor.
class BodySet {
public:
    static constexpr std::uint32_t MaxAnchorLength = 32;

    // Room for aCount signatures of one part, so that adding them moves no memory.
    void Reserve(std::size_t aCount);
    void Add(const BodySignature& aSignature, std::string_view aName, std::uint32_t aIndex);
    // Compiles what was added; throws Cancelled when aPoll asks to stop.
    void Finish(CancelPoll& aPoll);

    const std::vector<CompiledBody>& Signatures() const { return mSignatures; }
    const LiteralAutomaton& Automaton() const { return mAutomaton; }
    const AnchorUser& User(std::uint32_t aValue) const { return mUsers[aValue]; }
    std::uint32_t LongestPart() const { return mLongestPart; }
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

    std::vector<std::array<std::uint64_t, 4>> mSets;
    std::size_t mEstimate = 0;
    std::vector<CompiledBody> mSignatures;
    std::vector<AnchorUser> mUsers;
    LiteralAutomaton mAutomaton;
    std::uint32_t mLongestPart = 0;
    std::uint32_t mSlack = 0;
};

} // namespace detect
