#pragma once

#include "detect/Match.h"

#include <string>
#include <vector>

namespace detect {

enum class Verdict { Clean, Infected, Possible };

struct Finding {
    Verdict Kind = Verdict::Clean;
    std::string Name;
};

// Names starting with "PUA." or "Heuristics." are possible threats, counted only when
// aHeuristic is on; any other match makes the object infected, which wins. The finding
// names the first match of the winning kind in the order ObjectScan::End gives.
Finding Decide(const std::vector<Match>& aMatches, bool aHeuristic);

} // namespace detect
