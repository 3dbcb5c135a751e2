// Counting and printing what a build refused or skipped.
#include "tools/BuildTally.h"

#include <ostream>

void Tally(const detect::AddReport& aReport, const std::string& aWhere, bool aSkipUnsupported, TBuildTally& aTally,
    std::ostream& aErr)
{
    aTally.LevelSkipped += aReport.LevelSkipped;
    aTally.Ignored += aReport.Ignored;
    for (const detect::LineProblem& problem : aReport.Problems) {
        if (aSkipUnsupported && problem.Problem.Status == detect::ParseStatus::Unsupported) {
            ++aTally.Skipped;
            continue;
        }
        aErr << aWhere << ':' << problem.Line << ": " << problem.Problem.Reason << '\n';
        ++aTally.Refused;
    }
}

void Refuse(const std::string& aWhere, const std::string& aProblem, TBuildTally& aTally, std::ostream& aErr)
{
    aErr << aWhere << ": " << aProblem << '\n';
    ++aTally.Refused;
}
