#include "fuzz/ReferenceMatcher.h"

#include <vector>

namespace fuzz {
namespace {

// Every end of aElements[k..] placed from aPos; aSeen avoids revisiting (k, pos).
void Ends(const std::vector<detect::PatternElement>& aElements, std::size_t aK, std::uint64_t aPos,
          const std::string& aData, std::set<std::pair<std::size_t, std::uint64_t>>& aSeen,
          std::set<std::uint64_t>& aEnds) {
    if (!aSeen.insert({aK, aPos}).second) return;
    if (aK == aElements.size()) {
        aEnds.insert(aPos);
        return;
    }
    const detect::PatternElement& e = aElements[aK];
    if (e.Kind == detect::PatternElement::Type::Gap) {
        for (std::uint64_t g = e.Min; g <= e.Max && aPos + g <= aData.size(); ++g)
            Ends(aElements, aK + 1, aPos + g, aData, aSeen, aEnds);
        return;
    }
    if (aPos < aData.size() && e.Accepts(static_cast<std::uint8_t>(aData[aPos])))
        Ends(aElements, aK + 1, aPos + 1, aData, aSeen, aEnds);
}

std::optional<std::uint64_t> EarliestEnd(const detect::PatternPart& aPart, std::uint64_t aFrom, std::uint64_t aTo,
                                         const std::string& aData) {
    std::optional<std::uint64_t> best;
    for (std::uint64_t start = aFrom; start <= aTo && start <= aData.size(); ++start) {
        std::set<std::pair<std::size_t, std::uint64_t>> seen;
        std::set<std::uint64_t> ends;
        Ends(aPart.Elements, 0, start, aData, seen, ends);
        if (!ends.empty() && (!best || *ends.begin() < *best)) best = *ends.begin();
    }
    return best;
}

} // namespace

std::optional<std::uint64_t> ReferenceMatch(const detect::BodySignature& aSignature, const std::string& aData) {
    if (aSignature.Target == detect::TargetType::MzFile && aData.substr(0, 2) != "MZ") return std::nullopt;
    const std::uint64_t size = aData.size();
    std::uint64_t from = 0, to = size;
    const detect::Offset& where = aSignature.Where;
    if (where.Kind == detect::OffsetKind::Start) {
        from = where.Value;
        to = where.Value + where.Shift;
    } else if (where.Kind == detect::OffsetKind::Eof) {
        if (where.Value > size) return std::nullopt;
        from = size - where.Value;
        to = from + where.Shift;
    }
    std::optional<std::uint64_t> end;
    for (const detect::PatternPart& part : aSignature.Parts) {
        if (end) from = *end + part.GapMin, to = size;
        end = EarliestEnd(part, from, to, aData);
        if (!end) return std::nullopt;
    }
    return end;
}

} // namespace fuzz
