#include "detect/Finding.h"

namespace detect {
namespace {

bool IsPossible(std::string_view aName) {
    return aName.substr(0, 4) == "PUA." || aName.substr(0, 11) == "Heuristics.";
}

} // namespace

Finding Decide(const std::vector<Match>& aMatches, bool aHeuristic) {
    Finding possible;
    for (const Match& match : aMatches) {
        if (!IsPossible(match.Name)) return {Verdict::Infected, match.Name};
        if (aHeuristic && possible.Kind == Verdict::Clean) possible = {Verdict::Possible, match.Name};
    }
    return possible;
}

} // namespace detect
