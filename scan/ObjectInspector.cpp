// Object inspection through the detection core.
#include "scan/ObjectInspector.h"

#include "detect/Finding.h"

namespace {

const wchar_t kTooManyPartialMatches[] = L"too many partial matches";

} // namespace

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
    return Decide(FScan.End(aComplete), aPath, FScan.Overflowed());
}

const std::vector<detect::Match>& TObjectInspector::EndMatches(bool aComplete)
{
    return FScan.End(aComplete);
}

bool TObjectInspector::Overflowed() const
{
    return FScan.Overflowed();
}

bool TObjectInspector::Allowed() const
{
    return FScan.Allowed();
}

const std::vector<detect::Match>& TObjectInspector::Hidden() const
{
    return FScan.Hidden();
}

std::optional<TFinding> TObjectInspector::Decide(const std::vector<detect::Match>& aMatches, const std::wstring& aPath,
    bool aOverflowed) const
{
    const detect::Finding finding = detect::Decide(aMatches, FHeuristicMode);
    // A threat found before the matcher's bounds were reached stands; anything less is not a verdict.
    if (aOverflowed && finding.Kind != detect::Verdict::Infected) {
        TFinding result;
        result.Object = aPath;
        result.Threat = kTooManyPartialMatches;
        result.Kind = TFindingKind::NotScanned;
        return result;
    }
    if (finding.Kind == detect::Verdict::Clean)
        return std::nullopt;
    TFinding result;
    result.Object = aPath;
    result.Threat.assign(finding.Name.begin(), finding.Name.end());
    result.Kind = finding.Kind == detect::Verdict::Infected ? TFindingKind::Infected : TFindingKind::Possible;
    return result;
}
