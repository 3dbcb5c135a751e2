// The selection's files, the outcomes' texts and the questions of the results window's actions.
#include "ui/FindingActions.h"

#include <windows.h>

namespace {

bool SamePath(const std::wstring& aLeft, const std::wstring& aRight) noexcept
{
    return CompareStringOrdinal(aLeft.c_str(), static_cast<int>(aLeft.size()), aRight.c_str(),
               static_cast<int>(aRight.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

std::wstring FileOnDisk(const std::wstring& aObject)
{
    const std::size_t arrow = aObject.find(L"->");
    return arrow == std::wstring::npos ? aObject : aObject.substr(0, arrow);
}

bool Actionable(const TFinding& aFinding) noexcept
{
    return aFinding.Kind == TFindingKind::Infected || aFinding.Kind == TFindingKind::Possible;
}

std::vector<TActionTarget> ActionTargets(const std::vector<TFinding>& aFindings, const std::vector<std::size_t>& aSelected,
    const std::vector<std::wstring>& aActions)
{
    std::vector<TActionTarget> targets;
    for (const std::size_t row : aSelected) {
        if (row >= aFindings.size() || !Actionable(aFindings[row]))
            continue;
        if (row < aActions.size() && !aActions[row].empty() && !aActions[row].starts_with(L"Failed: "))
            continue;
        std::wstring path = FileOnDisk(aFindings[row].Object);
        bool known = false;
        for (const TActionTarget& target : targets)
            known = known || SamePath(target.Path, path);
        if (!known)
            targets.push_back({std::move(path), aFindings[row].Threat, aFindings[row].Kind});
    }
    return targets;
}

std::vector<std::size_t> RowsOfFile(const std::vector<TFinding>& aFindings, const std::wstring& aPath)
{
    std::vector<std::size_t> rows;
    for (std::size_t row = 0; row < aFindings.size(); ++row) {
        if (SamePath(FileOnDisk(aFindings[row].Object), aPath))
            rows.push_back(row);
    }
    return rows;
}

std::wstring ActionText(TFindingAction aAction, const quarantine::Outcome& aOutcome)
{
    if (!aOutcome.Succeeded)
        return L"Failed: " + aOutcome.Message;
    return aAction == TFindingAction::Quarantine ? L"Quarantined" : L"Deleted";
}

std::wstring DeleteQuestion(std::size_t aCount)
{
    return L"Delete " + std::to_wstring(aCount) + (aCount == 1 ? L" file permanently?" : L" files permanently?");
}

std::wstring ProgressText(TFindingAction aAction, std::size_t aCurrent, std::size_t aTotal)
{
    return (aAction == TFindingAction::Quarantine ? L"Quarantining " : L"Deleting ") + std::to_wstring(aCurrent) +
        L" of " + std::to_wstring(aTotal) + L"...";
}
