// The Quarantine window: list, sorting, restore with its questions, deletion.
#include "ui/QuarantineForm.h"

#include "platform/Error.h"
#include "platform/ErrorDisplay.h"
#include "toolkit/ToolkitDisabledWindow.h"
#include "toolkit/ToolkitListView.h"
#include "ui/AppUtils.h"
#include "ui/FindingActions.h"
#include "ui/ProductTheme.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

namespace {

constexpr wchar_t kCaption[] = L"Quarantine";
constexpr SIZE kClientSize{600, 340};
constexpr SIZE kMinClientSize{360, 200};
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kMargin = 10;
constexpr int kButtonGap = 6;
constexpr int kButtonHeight = 25;
constexpr int kRestoreWidth = 90;
constexpr int kDeleteWidth = 90;
constexpr int kCloseWidth = 90;
constexpr int kMinObjectWidth = 150;

struct Column {
    const wchar_t* Title;
    int Width;
    int Format;
};
// The Object column takes what the others leave of the list's width.
constexpr std::array<Column, 4> kColumns{{{L"Object", kMinObjectWidth, LVCFMT_LEFT},
    {L"Threat", 140, LVCFMT_LEFT}, {L"Date", 120, LVCFMT_LEFT}, {L"Size", 80, LVCFMT_RIGHT}}};

// Posted by a restore's thread when it has ended.
constexpr UINT kRestoreEnded = WM_APP + 1;

void Move(HWND aControl, int aX, int aY, int aWidth, int aHeight)
{
    SetWindowPos(aControl, nullptr, aX, aY, aWidth, aHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::wstring FileNameOf(const std::wstring& aPath)
{
    const std::size_t slash = aPath.find_last_of(L'\\');
    return slash == std::wstring::npos ? aPath : aPath.substr(slash + 1);
}

} // namespace

TQuarantineFrm::TQuarantineFrm(HWND aOwner, std::wstring aStore) : TForm(ProductTheme()), store_(std::move(aStore))
{
    CreateForm(kCaption, kClientSize, kStyle, 0, aOwner);
    CreateControls();
    FinishCreate();
    LayOut();
    Refresh();
}

TQuarantineFrm::~TQuarantineFrm()
{
    if (worker_.joinable())
        worker_.join();
}

void TQuarantineFrm::CreateControls()
{
    const int buttonsY = kClientSize.cy - kMargin - kButtonHeight;
    List = AddControl(WC_LISTVIEWW, L"", WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS,
        {kMargin, kMargin, kClientSize.cx - 2 * kMargin, buttonsY - 2 * kMargin});
    RestoreButton = AddButton(L"Restore", {kMargin, buttonsY, kRestoreWidth, kButtonHeight});
    DeleteButton = AddButton(L"Delete...", {kMargin + kRestoreWidth + kButtonGap, buttonsY, kDeleteWidth, kButtonHeight});
    CloseButton = AddButton(L"Close", {kClientSize.cx - kMargin - kCloseWidth, buttonsY, kCloseWidth, kButtonHeight},
        theme::FontKind::Normal, IDCANCEL);
    ListView_SetExtendedListViewStyle(List, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
    ListView_SetBkColor(List, theme::kPanel);
    ListView_SetTextBkColor(List, theme::kPanel);
    ListView_SetTextColor(List, theme::kText);
    CreateColumns();
}

void TQuarantineFrm::CreateColumns()
{
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = kColumns[i].Format;
        column.pszText = const_cast<wchar_t*>(kColumns[i].Title);
        column.cx = Scale(kColumns[i].Width);
        if (ListView_InsertColumn(List, static_cast<int>(i), &column) < 0)
            throw AppError(L"The list refused the column " + std::wstring(kColumns[i].Title));
    }
    columnsDpi_ = Dpi();
}

void TQuarantineFrm::Refresh()
{
    if (restoring_)
        return;
    const std::vector<std::wstring> selected = SelectedItems();
    rows_.clear();
    for (const quarantine::Item& item : quarantine::ListItems(store_))
        rows_.push_back(QuarantineRow(item));
    FillList(selected);
    UpdateButtons();
}

// The rows in the chosen order (oldest first until a column is chosen), aSelected selected again.
void TQuarantineFrm::FillList(const std::vector<std::wstring>& aSelected)
{
    const std::wstring focusedItem = ItemAt(ListView_GetNextItem(List, -1, LVNI_FOCUSED));
    SendMessageW(List, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(List);
    int focusIndex = 0;
    for (const std::size_t index : SortedItemRows(rows_, sortColumn_.value_or(TQuarantineColumn::Date), descending_)) {
        const TQuarantineRow& row = rows_[index];
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = ListView_GetItemCount(List);
        item.pszText = const_cast<wchar_t*>(row.Object.c_str());
        item.lParam = static_cast<LPARAM>(index);
        const int at = ListView_InsertItem(List, &item);
        if (at < 0)
            throw AppError(L"The list refused the item " + row.Object);
        std::wstring cells[] = {row.Threat, DateText(row.Time), row.Damaged ? std::wstring() : SizeText(row.Size)};
        for (int column = 1; column <= 3; ++column)
            ListView_SetItemText(List, at, column, cells[column - 1].data());
        if (std::find(aSelected.begin(), aSelected.end(), row.File) != aSelected.end())
            ListView_SetItemState(List, at, LVIS_SELECTED, LVIS_SELECTED);
        if (row.File == focusedItem)
            focusIndex = at;
    }
    SendMessageW(List, WM_SETREDRAW, TRUE, 0);
    FitDataColumns();
    if (!rows_.empty()) {
        ListView_SetItemState(List, focusIndex, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_EnsureVisible(List, focusIndex, FALSE);
    }
}

std::wstring TQuarantineFrm::ItemAt(int aIndex) const
{
    LVITEMW item{};
    item.mask = LVIF_PARAM;
    item.iItem = aIndex;
    if (aIndex < 0 || !ListView_GetItem(List, &item) || static_cast<std::size_t>(item.lParam) >= rows_.size())
        return {};
    return rows_[static_cast<std::size_t>(item.lParam)].File;
}

std::vector<std::wstring> TQuarantineFrm::ListedItems() const
{
    std::vector<std::wstring> items;
    const int count = ListView_GetItemCount(List);
    for (int index = 0; index < count; ++index)
        items.push_back(ItemAt(index));
    return items;
}

std::vector<std::wstring> TQuarantineFrm::SelectedItems() const
{
    std::vector<std::wstring> items;
    for (int index = ListView_GetNextItem(List, -1, LVNI_SELECTED); index >= 0;
         index = ListView_GetNextItem(List, index, LVNI_SELECTED))
        items.push_back(ItemAt(index));
    return items;
}

const TQuarantineRow* TQuarantineFrm::RowOfItem(const std::wstring& aItem) const
{
    const auto found = std::find_if(rows_.begin(), rows_.end(), [&aItem](const TQuarantineRow& aRow) {
        return aRow.File == aItem;
    });
    return found == rows_.end() ? nullptr : &*found;
}

void TQuarantineFrm::SortBy(TQuarantineColumn aColumn)
{
    descending_ = sortColumn_ == aColumn && !descending_;
    sortColumn_ = aColumn;
    FillList(SelectedItems());
    ShowSortArrow();
}

void TQuarantineFrm::ShowSortArrow()
{
    const std::optional<int> sorted =
        sortColumn_ ? std::optional<int>(static_cast<int>(*sortColumn_)) : std::nullopt;
    ShowListSortArrow(List, static_cast<int>(kColumns.size()), sorted, descending_);
}

void TQuarantineFrm::BringToFront()
{
    Refresh();
    if (!IsWindowVisible(Handle())) {
        Show();
        return;
    }
    if (IsIconic(Handle()))
        ShowWindow(Handle(), SW_RESTORE);
    BringWindowToTop(Handle());
    SetForegroundWindow(Handle());
}

LRESULT TQuarantineFrm::HandleMessage(UINT aMessage, WPARAM aWParam, LPARAM aLParam)
{
    if (aMessage == WM_SIZE && aWParam != SIZE_MINIMIZED)
        LayOut();
    else if (aMessage == WM_GETMINMAXINFO)
        LimitSize(*reinterpret_cast<MINMAXINFO*>(aLParam));
    else if (aMessage == kRestoreEnded)
        JobEnded();
    return TForm::HandleMessage(aMessage, aWParam, aLParam);
}

void TQuarantineFrm::ButtonClick(HWND aButton)
{
    if (aButton == RestoreButton)
        RestoreSelected();
    else if (aButton == DeleteButton)
        DeleteSelected();
    else if (aButton == CloseButton)
        PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

LRESULT TQuarantineFrm::Notify(NMHDR& aHeader)
{
    if (aHeader.hwndFrom != List)
        return 0;
    switch (aHeader.code) {
    case LVN_COLUMNCLICK:
        SortBy(static_cast<TQuarantineColumn>(reinterpret_cast<NMLISTVIEW&>(aHeader).iSubItem));
        return 0;
    case LVN_ITEMCHANGED:
        if ((reinterpret_cast<NMLISTVIEW&>(aHeader).uChanged & LVIF_STATE) != 0)
            UpdateButtons();
        return 0;
    case LVN_KEYDOWN:
        return ListKeyDown(reinterpret_cast<NMLVKEYDOWN&>(aHeader).wVKey);
    default:
        return 0;
    }
}

// Delete asks to delete the selected items; Ctrl+A selects every item.
LRESULT TQuarantineFrm::ListKeyDown(WORD aKey)
{
    const bool control = GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0;
    if (aKey == VK_DELETE && IsWindowEnabled(DeleteButton))
        PostMessageW(DeleteButton, BM_CLICK, 0, 0);
    else if (aKey == 'A' && control)
        ListView_SetItemState(List, -1, LVIS_SELECTED, LVIS_SELECTED);
    return 0;
}

// The list takes the room the row of buttons leaves; Close keeps to the right edge.
void TQuarantineFrm::LayOut()
{
    if (List == nullptr)
        return;
    RECT client;
    GetClientRect(Handle(), &client);
    const int margin = Scale(kMargin);
    const int height = Scale(kButtonHeight);
    const int buttonsY = client.bottom - margin - height;
    const int width = std::max(0, static_cast<int>(client.right) - 2 * margin);
    Move(List, margin, margin, width, std::max(0, buttonsY - 2 * margin));
    Move(RestoreButton, margin, buttonsY, Scale(kRestoreWidth), height);
    Move(DeleteButton, margin + Scale(kRestoreWidth + kButtonGap), buttonsY, Scale(kDeleteWidth), height);
    Move(CloseButton, client.right - margin - Scale(kCloseWidth), buttonsY, Scale(kCloseWidth), height);
    FitObjectColumn();
}

// Date and Size as wide as their widest cell at the list's font, at least their default widths.
void TQuarantineFrm::FitDataColumns()
{
    for (int column : {static_cast<int>(TQuarantineColumn::Date), static_cast<int>(TQuarantineColumn::Size)}) {
        ListView_SetColumnWidth(List, column, LVSCW_AUTOSIZE);
        const int fitted = ListView_GetColumnWidth(List, column);
        ListView_SetColumnWidth(List, column, std::max(fitted, Scale(kColumns[static_cast<std::size_t>(column)].Width)));
    }
    FitObjectColumn();
}

void TQuarantineFrm::FitObjectColumn()
{
    FitFirstListColumn(List, static_cast<int>(kColumns.size()), Scale(kMinObjectWidth));
}

// Threat keeps its width, as the user left it, at the new DPI; Date and Size fit the new font.
void TQuarantineFrm::Rescaled()
{
    const int threat = static_cast<int>(TQuarantineColumn::Threat);
    ListView_SetColumnWidth(List, threat,
        MulDiv(ListView_GetColumnWidth(List, threat), static_cast<int>(Dpi()), static_cast<int>(columnsDpi_)));
    columnsDpi_ = Dpi();
    FitDataColumns();
    LayOut();
}

void TQuarantineFrm::LimitSize(MINMAXINFO& aLimits) const
{
    LimitClientSize(Handle(), {Scale(kMinClientSize.cx), Scale(kMinClientSize.cy)}, aLimits);
}

void TQuarantineFrm::UpdateButtons()
{
    if (RestoreButton == nullptr)
        return;
    const bool enable = !restoring_ && ListView_GetSelectedCount(List) > 0;
    // The keyboard focus stays usable: it leaves a button that is about to be disabled for the list.
    HWND focus = GetFocus();
    if (!enable && (focus == RestoreButton || focus == DeleteButton))
        SetFocus(List);
    EnableWindow(RestoreButton, enable);
    EnableWindow(DeleteButton, enable);
}

void TQuarantineFrm::DeleteSelected()
{
    if (restoring_)
        return;
    const std::vector<std::wstring> items = SelectedItems();
    if (items.empty())
        return;
    {
        const TDisabledWindow owner(GetWindow(Handle(), GW_OWNER));
        if (MessageBoxW(Handle(), DeleteQuestion(items.size()).c_str(), L"Quorvane",
                MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
            return;
    }
    std::wstring failure;
    for (const std::wstring& item : items) {
        const quarantine::Outcome outcome = quarantine::DeleteItem(item);
        if (!outcome.Succeeded && failure.empty())
            failure = outcome.Message;
    }
    Refresh();
    if (!failure.empty())
        ShowErrorMessage(L"Deleting failed: " + failure, Handle());
}

void TQuarantineFrm::RestoreSelected()
{
    if (restoring_)
        return;
    const std::vector<std::wstring> items = SelectedItems();
    if (items.empty())
        return;
    restoring_ = true;
    pending_.assign(items.begin(), items.end());
    total_ = items.size();
    UpdateButtons();
    RestoreNext();
}

void TQuarantineFrm::RestoreNext()
{
    if (closeWhenDone_)
        pending_.clear();
    if (pending_.empty()) {
        FinishRestore();
        return;
    }
    Job job{pending_.front(), {}, false};
    pending_.pop_front();
    Start(std::move(job));
}

// The item is restored on a thread of its own; RestoreItem does not throw, and anything else that
// does becomes a failure of this item.
void TQuarantineFrm::Start(Job aJob)
{
    job_ = std::move(aJob);
    const std::size_t current = total_ - pending_.size();
    SetCaption(std::wstring(kCaption) + L" - Restoring " + std::to_wstring(current) + L" of " +
        std::to_wstring(total_) + L"...");
    HWND window = Handle();
    worker_ = std::thread([this, window] {
        try {
            outcome_ = quarantine::RestoreItem(job_.Item, job_.Target, job_.Replace);
        } catch (...) {
            outcome_ = {quarantine::RestoreResult::Failed, L"The restore stopped unexpectedly."};
        }
        PostMessageW(window, kRestoreEnded, 0, 0);
    });
}

void TQuarantineFrm::JobEnded()
{
    if (!worker_.joinable())
        return;
    worker_.join();
    using quarantine::RestoreResult;
    if (!closeWhenDone_) {
        if (outcome_.Result == RestoreResult::Exists) {
            AskAboutExisting(job_);
            return;
        }
        const TDisabledWindow owner(GetWindow(Handle(), GW_OWNER));
        if (outcome_.Result == RestoreResult::Damaged)
            ShowErrorMessage(quarantine::kDamagedMessage, Handle());
        else if (outcome_.Result == RestoreResult::Failed)
            ShowErrorMessage(L"Restoring failed: " + outcome_.Message, Handle());
    }
    RestoreNext();
}

// Yes replaces the existing file, No asks for another name through the save dialog, Cancel skips the item.
// The owner is disabled meanwhile: closing it would close this window under the question.
void TQuarantineFrm::AskAboutExisting(const Job& aJob)
{
    const TQuarantineRow* row = RowOfItem(aJob.Item);
    const std::wstring target = !aJob.Target.empty() ? aJob.Target : (row != nullptr ? row->Object : aJob.Item);
    const TDisabledWindow owner(GetWindow(Handle(), GW_OWNER));
    const int answer = MessageBoxW(Handle(), ReplaceQuestion(target).c_str(), L"Quorvane",
        MB_YESNOCANCEL | MB_ICONWARNING | MB_DEFBUTTON3);
    if (answer == IDYES) {
        Start({aJob.Item, aJob.Target, true});
        return;
    }
    std::wstring chosen;
    if (answer == IDNO && SelectSaveFile(FileNameOf(target), L"All files", L"", Handle(), chosen)) {
        // The dialog has asked already whether to replace a file of the chosen name.
        Start({aJob.Item, chosen, true});
        return;
    }
    RestoreNext();
}

void TQuarantineFrm::FinishRestore()
{
    restoring_ = false;
    SetCaption(kCaption);
    Refresh();
    if (closeWhenDone_)
        PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

// A close while a restore runs waits for the item at hand; the items after it are left.
bool TQuarantineFrm::CloseQuery()
{
    closeWhenDone_ = restoring_;
    return !closeWhenDone_;
}
