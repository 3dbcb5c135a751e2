#pragma once

#include "detect/LiteralAutomaton.h"
#include "detect/Signature.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace detect {

// A part of a compiled pattern: its elements and the fixed run (the anchor) the automaton finds.
struct CompiledPart {
    std::vector<PatternElement> Elements;
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
    void Add(const BodySignature& aSignature, std::string_view aName, std::uint32_t aIndex);
    void Finish();

    const std::vector<CompiledBody>& Signatures() const { return mSignatures; }
    const LiteralAutomaton& Automaton() const { return mAutomaton; }
    const AnchorUser& User(std::uint32_t aValue) const { return mUsers[aValue]; }
    std::uint32_t LongestPart() const { return mLongestPart; }
    // Most a part's end can lie past its anchor's verification point's least end.
    std::uint32_t Slack() const { return mSlack; }
    std::size_t MemoryBytes() const;

private:
    std::vector<CompiledBody> mSignatures;
    std::vector<AnchorUser> mUsers;
    LiteralAutomaton mAutomaton;
    std::uint32_t mLongestPart = 0;
    std::uint32_t mSlack = 0;
};

} // namespace detect
