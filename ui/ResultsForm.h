// The results window: the findings of a scan in a sortable list, copied or saved as a report.
#pragma once

#include "scan/Finding.h"
#include "toolkit/ToolkitForm.h"
#include "scan/ResultsReport.h"

#include <optional>
#include <string>
#include <vector>

class TResultsFrm : public TForm {
public:
    // Creates the window, hidden, owned by aOwner, listing aFindings in scan order with the objects
    // that were not scanned last, and under the list the line SkippedSummary(aSkipped) when it has
    // one. Throws AppError when it cannot be created.
    TResultsFrm(HWND aOwner, std::vector<TFinding> aFindings, const TSkippedCounts& aSkipped = {});

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

    HWND List = nullptr;
    // The summary of what was counted but not listed; nullptr when there is nothing to say.
    HWND SummaryLabel = nullptr;
    HWND CopyButton = nullptr;
    HWND SaveButton = nullptr;
    HWND CloseButton = nullptr;

protected:
    LRESULT HandleMessage(UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
    void ButtonClick(HWND aButton) override;
    LRESULT Notify(NMHDR& aHeader) override;
    void Rescaled() override;

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

    std::vector<TFinding> findings_;
    std::optional<TResultsColumn> sortColumn_;
    bool descending_ = false;
    // The widths of the Threat and Kind columns at the window's DPI, kept across a DPI change.
    UINT columnsDpi_ = 96;
};
