// The results window: the findings of a scan in a sortable list, copied or saved as a report, and
// the infected files quarantined or deleted.
#pragma once

#include "scan/Finding.h"
#include "toolkit/ToolkitForm.h"
#include "scan/ResultsReport.h"
#include "ui/FindingActions.h"

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TResultsFrm : public TForm {
public:
    // Creates the window, hidden, owned by aOwner, listing aFindings in scan order with the objects
    // that were not scanned last, and under the list the line SkippedSummary(aSkipped) when it has
    // one. Throws AppError when it cannot be created.
    TResultsFrm(HWND aOwner, std::vector<TFinding> aFindings, const TSkippedCounts& aSkipped = {});
    // Waits for a running action to finish.
    ~TResultsFrm() override;
    TResultsFrm(const TResultsFrm&) = delete;
    TResultsFrm& operator=(const TResultsFrm&) = delete;

    // Sorts the rows by aColumn, ascending, or reversed when they are sorted by it already.
    void SortBy(TResultsColumn aColumn);
    // The selected rows, or every row when none is selected, in the list's order.
    std::vector<TFinding> RowsToCopy() const;
    // Copies RowsToCopy to the clipboard as text. Throws AppError when the clipboard refuses.
    void CopyRows();
    // Asks for a file through the save dialog and writes the report there. Throws what WriteReport throws.
    void SaveReport();
    // Writes every row, in the list's order, to aPath as a CSV report (CsvReport). Throws AppError
    // ("Report saving failed: ...").
    void WriteReport(const std::wstring& aPath) const;
    // Starts aAction on the files of the selected actionable rows, each once, on a thread of its
    // own; every row of a file gets its outcome in the Action column as it ends. For Delete, asks
    // DeleteQuestion first. Does nothing while an action runs or when nothing actionable is selected.
    void RunAction(TFindingAction aAction);
    // Whether an action is running.
    bool Acting() const noexcept { return worker_.joinable(); }
    // The Action cell of the row aRow of the findings as given (empty before an action reached it).
    const std::wstring& ActionOf(std::size_t aRow) const { return actions_[aRow]; }

    // Run on the window thread when a Quarantine action has ended with at least one file quarantined.
    std::function<void()> OnQuarantined;

    HWND List = nullptr;
    // The summary of what was counted but not listed; nullptr when there is nothing to say.
    HWND SummaryLabel = nullptr;
    HWND CopyButton = nullptr;
    HWND SaveButton = nullptr;
    HWND QuarantineButton = nullptr;
    HWND DeleteButton = nullptr;
    HWND CloseButton = nullptr;

protected:
    LRESULT HandleMessage(UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
    void ButtonClick(HWND aButton) override;
    LRESULT Notify(NMHDR& aHeader) override;
    void Rescaled() override;
    bool CloseQuery() override;

private:
    void CreateControls(const std::wstring& aSummary);
    void CreateColumns();
    void FillList();
    void LayOut();
    void FitObjectColumn();
    void ShowSortArrow();
    LRESULT ListKeyDown(WORD aKey);
    LRESULT CustomDraw(NMHDR& aHeader) const;
    void LimitSize(MINMAXINFO& aLimits) const;
    std::vector<TFinding> Rows(int aState) const;
    std::vector<std::size_t> RowIndices(int aState) const;
    std::vector<std::wstring> Actions(int aState) const;
    void UpdateActionButtons();
    void Act(TFindingAction aAction, std::vector<TActionTarget> aTargets);
    void ActionProgress(std::size_t aDone);
    void ActionEnded();
    void ShowOutcome(std::size_t aTarget);

    std::vector<TFinding> findings_;
    std::optional<TResultsColumn> sortColumn_;
    bool descending_ = false;
    // The widths of the Threat and Kind columns at the window's DPI, kept across a DPI change.
    UINT columnsDpi_ = 96;

    // The Action cells, by index into findings_.
    std::vector<std::wstring> actions_;
    // The running action: its files and, guarded by outcomesMutex_, the outcomes of those done.
    TFindingAction action_ = TFindingAction::Quarantine;
    std::vector<TActionTarget> targets_;
    std::vector<quarantine::Outcome> outcomes_;
    std::mutex outcomesMutex_;
    std::size_t shown_ = 0;
    std::thread worker_;
    bool closeWhenDone_ = false;
    std::wstring caption_;
};
