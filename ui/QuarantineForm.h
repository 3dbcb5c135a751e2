// The Quarantine window: the items of the store in a sortable list, restored or deleted for good.
#pragma once

#include "quarantine/Quarantine.h"
#include "toolkit/ToolkitForm.h"
#include "ui/QuarantineList.h"

#include <deque>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class TQuarantineFrm : public TForm {
public:
    // Creates the window, hidden, owned by aOwner, listing the items of aStore (the user's store
    // when empty). Throws AppError when it cannot be created.
    explicit TQuarantineFrm(HWND aOwner, std::wstring aStore = {});
    // Waits for a running restore to finish.
    ~TQuarantineFrm() override;
    TQuarantineFrm(const TQuarantineFrm&) = delete;
    TQuarantineFrm& operator=(const TQuarantineFrm&) = delete;

    // Reads the store again, keeping the sort order and the selection of items still there.
    // Does nothing while a restore runs (its end reads the store).
    void Refresh();
    // Shows the window, brought to the front, with the store read again.
    void BringToFront();
    // Sorts the rows by aColumn, ascending, or reversed when they are sorted by it already.
    void SortBy(TQuarantineColumn aColumn);
    // Restores the selected items one after another off the window thread, asking what to do
    // about each one whose path exists already; refuses a damaged item with its message.
    void RestoreSelected();
    // Deletes the selected items for good, after asking.
    void DeleteSelected();
    // Whether a restore is under way (running, or waiting for an answer).
    bool Restoring() const noexcept { return restoring_; }
    // The item files of the rows, in the list's order.
    std::vector<std::wstring> ListedItems() const;

    HWND List = nullptr;
    HWND RestoreButton = nullptr;
    HWND DeleteButton = nullptr;
    HWND CloseButton = nullptr;

protected:
    LRESULT HandleMessage(UINT aMessage, WPARAM aWParam, LPARAM aLParam) override;
    void ButtonClick(HWND aButton) override;
    LRESULT Notify(NMHDR& aHeader) override;
    void Rescaled() override;
    bool CloseQuery() override;

private:
    // One restore in flight: the item, where to (the original path when empty), whether to replace.
    struct Job {
        std::wstring Item;
        std::wstring Target;
        bool Replace = false;
    };

    void CreateControls();
    void CreateColumns();
    void FillList(const std::vector<std::wstring>& aSelected);
    void LayOut();
    void FitDataColumns();
    void FitObjectColumn();
    void ShowSortArrow();
    void LimitSize(MINMAXINFO& aLimits) const;
    LRESULT ListKeyDown(WORD aKey);
    std::wstring ItemAt(int aIndex) const;
    std::vector<std::wstring> SelectedItems() const;
    const TQuarantineRow* RowOfItem(const std::wstring& aItem) const;
    void UpdateButtons();
    void RestoreNext();
    void Start(Job aJob);
    void JobEnded();
    void AskAboutExisting(const Job& aJob);
    void FinishRestore();

    std::wstring store_;
    std::vector<TQuarantineRow> rows_;
    std::optional<TQuarantineColumn> sortColumn_;
    bool descending_ = false;
    UINT columnsDpi_ = 96;

    // The restore: the items still to do, the one running and, once its thread has ended, its outcome.
    bool restoring_ = false;
    std::deque<std::wstring> pending_;
    std::size_t total_ = 0;
    Job job_;
    quarantine::RestoreOutcome outcome_;
    std::thread worker_;
    bool closeWhenDone_ = false;
};
