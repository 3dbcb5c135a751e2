// Object inspection through the detection core.
#include "scan/ObjectInspector.h"

#include "detect/Finding.h"

TObjectInspector::TObjectInspector(const detect::Database& aDatabase, bool aHeuristicMode)
    : FScan(aDatabase, FHashes), FHeuristicMode(aHeuristicMode)
{
}

void TObjectInspector::Begin(std::uint64_t aSize)
{
    FScan.Begin(aSize);
}

void TObjectInspector::Inspect(const std::uint8_t* aBuffer, std::size_t aCount)
{
    FScan.Feed(aBuffer, aCount);
}

std::optional<TFinding> TObjectInspector::End(const std::wstring& aPath, bool aComplete)
{
    return Decide(FScan.End(aComplete), aPath);
}

const std::vector<detect::Match>& TObjectInspector::EndMatches(bool aComplete)
{
    return FScan.End(aComplete);
}

std::optional<TFinding> TObjectInspector::Decide(const std::vector<detect::Match>& aMatches, const std::wstring& aPath) const
{
    const detect::Finding finding = detect::Decide(aMatches, FHeuristicMode);
    if (finding.Kind == detect::Verdict::Clean)
        return std::nullopt;
    TFinding result;
    result.Object = aPath;
    result.Threat.assign(finding.Name.begin(), finding.Name.end());
    result.Kind = finding.Kind == detect::Verdict::Infected ? TFindingKind::Infected : TFindingKind::Possible;
    return result;
}
