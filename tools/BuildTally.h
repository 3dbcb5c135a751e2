// What a build met on its way: refused and skipped lines, level skips, dropped signatures and
// the container members it could not use, by type.
#pragma once

#include "detect/DatabaseBuilder.h"

#include <cstdint>
#include <iosfwd>
#include <map>
#include <string>

struct TBuildTally {
    std::uint64_t Refused = 0;
    std::uint64_t Skipped = 0;
    std::uint64_t LevelSkipped = 0;
    std::uint64_t Ignored = 0;
    // Container members of an unsupported type, by MemberType, skipped with --skip-unsupported.
    std::map<std::string, std::uint64_t> SkippedTypes;
};

// Adds the report of one input file or member, named aWhere; each refused line is printed on
// aErr as "aWhere:line: reason". Unsupported lines are counted instead when aSkipUnsupported.
void Tally(const detect::AddReport& aReport, const std::string& aWhere, bool aSkipUnsupported, TBuildTally& aTally,
    std::ostream& aErr);

// A problem that refuses the whole input aWhere: "aWhere: aProblem" on aErr, and counted.
void Refuse(const std::string& aWhere, const std::string& aProblem, TBuildTally& aTally, std::ostream& aErr);
