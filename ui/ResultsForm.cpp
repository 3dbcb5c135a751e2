// The results window: list, sorting, clipboard and CSV report, quarantine and deletion.
#include "ui/ResultsForm.h"

#include "platform/Clipboard.h"
#include "platform/Error.h"
#include "platform/File.h"
#include "toolkit/ToolkitDisabledWindow.h"
#include "toolkit/ToolkitListView.h"
#include "ui/AppUtils.h"
#include "ui/ProductTheme.h"

#include <commctrl.h>

#include <algorithm>
#include <array>

namespace {

constexpr SIZE kClientSize{600, 340};
constexpr SIZE kMinClientSize{520, 200};
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MAXIMIZEBOX | WS_CLIPCHILDREN;
constexpr int kMargin = 10;
constexpr int kButtonGap = 6;
constexpr int kButtonHeight = 25;
constexpr int kCopyWidth = 90;
constexpr int kSaveWidth = 110;
constexpr int kQuarantineWidth = 90;
constexpr int kDeleteWidth = 80;
constexpr int kCloseWidth = 90;
constexpr int kMinObjectWidth = 150;
// Room for the summary line, wrapped onto a second line when the window is narrow.
constexpr int kSummaryHeight = 30;

struct Column {
    const wchar_t* Title;
    int Width;
};
// The Object column takes what the others leave of the list's width.
constexpr std::array<Column, 4> kColumns{
    {{L"Object", kMinObjectWidth}, {L"Threat", 140}, {L"Kind", 90}, {L"Action", 110}}};
constexpr int kActionColumn = 3;

// Posted by the action's thread: one more file done (wParam: how many are done), and the end.
constexpr UINT kActionProgress = WM_APP + 1;
constexpr UINT kActionEnded = WM_APP + 2;

COLORREF KindColor(TFindingKind aKind) noexcept
{
    switch (aKind) {
    case TFindingKind::Infected:
        return theme::kRed;
    case TFindingKind::Possible:
        return theme::kOrange;
    case TFindingKind::NotScanned:
        break;
    }
    return theme::kDimText;
}

int CALLBACK CompareRanks(LPARAM aLeft, LPARAM aRight, LPARAM aRanks)
{
    const auto& ranks = *reinterpret_cast<const std::vector<std::size_t>*>(aRanks);
    const std::size_t left = ranks[static_cast<std::size_t>(aLeft)];
    const std::size_t right = ranks[static_cast<std::size_t>(aRight)];
    return left < right ? -1 : (left > right ? 1 : 0);
}

void Move(HWND aControl, int aX, int aY, int aWidth, int aHeight)
{
    SetWindowPos(aControl, nullptr, aX, aY, aWidth, aHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace

TResultsFrm::TResultsFrm(HWND aOwner, std::vector<TFinding> aFindings, const TSkippedCounts& aSkipped)
    : TForm(ProductTheme()), findings_(std::move(aFindings)), actions_(findings_.size())
{
    CreateForm(L"Scan results", kClientSize, kStyle, 0, aOwner);
    CreateControls(SkippedSummary(aSkipped));
    FinishCreate();
    FillList();
    LayOut();
    UpdateActionButtons();
    caption_ = L"Scan results";
}

TResultsFrm::~TResultsFrm()
{
    if (worker_.joinable())
        worker_.join();
}

void TResultsFrm::CreateControls(const std::wstring& aSummary)
{
    const int buttonsY = kClientSize.cy - kMargin - kButtonHeight;
    const int summaryHeight = aSummary.empty() ? 0 : kSummaryHeight + kButtonGap;
    List = AddControl(WC_LISTVIEWW, L"", WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS,
        {kMargin, kMargin, kClientSize.cx - 2 * kMargin, buttonsY - 2 * kMargin - summaryHeight});
    if (!aSummary.empty()) {
        SummaryLabel = AddLabel(aSummary, {kMargin, buttonsY - kMargin - kSummaryHeight, kClientSize.cx - 2 * kMargin,
            kSummaryHeight});
    }
    CopyButton = AddButton(L"Copy", {kMargin, buttonsY, kCopyWidth, kButtonHeight});
    SaveButton = AddButton(L"Save report...", {kMargin + kCopyWidth + kButtonGap, buttonsY, kSaveWidth, kButtonHeight});
    const int quarantineX = kMargin + kCopyWidth + kSaveWidth + 2 * kButtonGap;
    QuarantineButton = AddButton(L"Quarantine", {quarantineX, buttonsY, kQuarantineWidth, kButtonHeight});
    DeleteButton = AddButton(L"Delete...", {quarantineX + kQuarantineWidth + kButtonGap, buttonsY, kDeleteWidth, kButtonHeight});
    CloseButton = AddButton(L"Close", {kClientSize.cx - kMargin - kCloseWidth, buttonsY, kCloseWidth, kButtonHeight},
        theme::FontKind::Normal, IDCANCEL);
    ListView_SetExtendedListViewStyle(List, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP);
    ListView_SetBkColor(List, theme::kPanel);
    ListView_SetTextBkColor(List, theme::kPanel);
    ListView_SetTextColor(List, theme::kText);
    CreateColumns();
}

void TResultsFrm::CreateColumns()
{
    for (std::size_t i = 0; i < kColumns.size(); ++i) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
        column.fmt = LVCFMT_LEFT;
        column.pszText = const_cast<wchar_t*>(kColumns[i].Title);
        column.cx = Scale(kColumns[i].Width);
        if (ListView_InsertColumn(List, static_cast<int>(i), &column) < 0)
            throw AppError(L"The list refused the column " + std::wstring(kColumns[i].Title));
    }
    columnsDpi_ = Dpi();
}

void TResultsFrm::FillList()
{
    SendMessageW(List, WM_SETREDRAW, FALSE, 0);
    for (const std::size_t row : ScanOrderRows(findings_)) {
        const TFinding& finding = findings_[row];
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = ListView_GetItemCount(List);
        item.pszText = const_cast<wchar_t*>(finding.Object.c_str());
        item.lParam = static_cast<LPARAM>(row);
        const int index = ListView_InsertItem(List, &item);
        if (index < 0)
            throw AppError(L"The list refused the item " + finding.Object);
        ListView_SetItemText(List, index, 1, const_cast<wchar_t*>(finding.Threat.c_str()));
        ListView_SetItemText(List, index, 2, const_cast<wchar_t*>(KindText(finding.Kind).data()));
    }
    SendMessageW(List, WM_SETREDRAW, TRUE, 0);
    // The arrows start at the first row; nothing is selected, so Copy takes every row.
    ListView_SetItemState(List, 0, LVIS_FOCUSED, LVIS_FOCUSED);
}

void TResultsFrm::SortBy(TResultsColumn aColumn)
{
    descending_ = sortColumn_ == aColumn && !descending_;
    sortColumn_ = aColumn;
    const std::vector<std::size_t> order = SortedRows(findings_, aColumn, descending_);
    std::vector<std::size_t> ranks(order.size());
    for (std::size_t position = 0; position < order.size(); ++position)
        ranks[order[position]] = position;
    ListView_SortItems(List, CompareRanks, reinterpret_cast<LPARAM>(&ranks));
    ShowSortArrow();
    const int focused = ListView_GetNextItem(List, -1, LVNI_FOCUSED);
    if (focused >= 0)
        ListView_EnsureVisible(List, focused, FALSE);
}

void TResultsFrm::ShowSortArrow()
{
    const std::optional<int> sorted =
        sortColumn_ ? std::optional<int>(static_cast<int>(*sortColumn_)) : std::nullopt;
    ShowListSortArrow(List, static_cast<int>(kColumns.size()), sorted, descending_);
}

// The indices into findings_ of the rows in aState, in the list's order.
std::vector<std::size_t> TResultsFrm::RowIndices(int aState) const
{
    std::vector<std::size_t> rows;
    for (int index = ListView_GetNextItem(List, -1, aState); index >= 0;
         index = ListView_GetNextItem(List, index, aState)) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = index;
        if (ListView_GetItem(List, &item))
            rows.push_back(static_cast<std::size_t>(item.lParam));
    }
    return rows;
}

std::vector<TFinding> TResultsFrm::Rows(int aState) const
{
    std::vector<TFinding> rows;
    for (const std::size_t row : RowIndices(aState))
        rows.push_back(findings_[row]);
    return rows;
}

std::vector<std::wstring> TResultsFrm::Actions(int aState) const
{
    std::vector<std::wstring> actions;
    for (const std::size_t row : RowIndices(aState))
        actions.push_back(actions_[row]);
    return actions;
}

std::vector<TFinding> TResultsFrm::RowsToCopy() const
{
    std::vector<TFinding> rows = Rows(LVNI_SELECTED);
    return rows.empty() ? Rows(LVNI_ALL) : rows;
}

void TResultsFrm::CopyRows()
{
    const int state = ListView_GetSelectedCount(List) == 0 ? LVNI_ALL : LVNI_SELECTED;
    SetClipboardText(Handle(), ClipboardText(Rows(state), Actions(state)));
}

// The owner is disabled too while the dialog is up: its Start would close this window under the dialog.
void TResultsFrm::SaveReport()
{
    std::wstring path;
    bool chosen = false;
    {
        const TDisabledWindow owner(GetWindow(Handle(), GW_OWNER));
        chosen = SelectSaveFile(L"scan-results.csv", L"CSV files", L"csv", Handle(), path);
    }
    if (chosen)
        WriteReport(path);
}

void TResultsFrm::WriteReport(const std::wstring& aPath) const
{
    try {
        const std::string report = CsvReport(Rows(LVNI_ALL), Actions(LVNI_ALL));
        File file = File::CreateAlways(aPath);
        file.WriteBuffer(report.data(), report.size());
        file.Flush();
    } catch (AppError& error) {
        error.Prepend(L"Report saving failed: ");
        throw;
    }
}

LRESULT TResultsFrm::HandleMessage(UINT aMessage, WPARAM aWParam, LPARAM aLParam)
{
    if (aMessage == WM_SIZE && aWParam != SIZE_MINIMIZED)
        LayOut();
    else if (aMessage == WM_GETMINMAXINFO)
        LimitSize(*reinterpret_cast<MINMAXINFO*>(aLParam));
    else if (aMessage == kActionProgress)
        ActionProgress(static_cast<std::size_t>(aWParam));
    else if (aMessage == kActionEnded)
        ActionEnded();
    return TForm::HandleMessage(aMessage, aWParam, aLParam);
}

void TResultsFrm::ButtonClick(HWND aButton)
{
    if (aButton == CopyButton)
        CopyRows();
    else if (aButton == SaveButton)
        SaveReport();
    else if (aButton == QuarantineButton)
        RunAction(TFindingAction::Quarantine);
    else if (aButton == DeleteButton)
        RunAction(TFindingAction::Delete);
    else if (aButton == CloseButton)
        PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

LRESULT TResultsFrm::Notify(NMHDR& aHeader)
{
    if (aHeader.hwndFrom != List)
        return 0;
    switch (aHeader.code) {
    case LVN_COLUMNCLICK:
        SortBy(static_cast<TResultsColumn>(reinterpret_cast<NMLISTVIEW&>(aHeader).iSubItem));
        return 0;
    case LVN_ITEMCHANGED:
        if ((reinterpret_cast<NMLISTVIEW&>(aHeader).uChanged & LVIF_STATE) != 0)
            UpdateActionButtons();
        return 0;
    case LVN_KEYDOWN:
        return ListKeyDown(reinterpret_cast<NMLVKEYDOWN&>(aHeader).wVKey);
    case NM_CUSTOMDRAW:
        return CustomDraw(aHeader);
    default:
        return 0;
    }
}

LRESULT TResultsFrm::ListKeyDown(WORD aKey)
{
    if (aKey == 'C' && GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0)
        CopyRows();
    return 0;
}

// The Kind column in the colour of the main window's counter for that kind.
LRESULT TResultsFrm::CustomDraw(NMHDR& aHeader) const
{
    auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(aHeader);
    switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
        const auto row = static_cast<std::size_t>(draw.nmcd.lItemlParam);
        const bool kind = draw.iSubItem == static_cast<int>(TResultsColumn::Kind) && row < findings_.size();
        if (draw.iSubItem == kActionColumn && row < actions_.size() && actions_[row].starts_with(L"Failed"))
            draw.clrText = theme::kRed;
        else
        draw.clrText = kind ? KindColor(findings_[row].Kind) : theme::kText;
        return CDRF_DODEFAULT;
    }
    default:
        return CDRF_DODEFAULT;
    }
}

// The list takes the room the row of buttons leaves; Close keeps to the right edge.
void TResultsFrm::LayOut()
{
    if (List == nullptr)
        return;
    RECT client;
    GetClientRect(Handle(), &client);
    const int margin = Scale(kMargin);
    const int height = Scale(kButtonHeight);
    const int buttonsY = client.bottom - margin - height;
    const int width = std::max(0, static_cast<int>(client.right) - 2 * margin);
    const int summaryHeight = SummaryLabel != nullptr ? Scale(kSummaryHeight) : 0;
    const int listBottom = buttonsY - margin - (SummaryLabel != nullptr ? summaryHeight + Scale(kButtonGap) : 0);
    Move(List, margin, margin, width, std::max(0, listBottom - margin));
    if (SummaryLabel != nullptr)
        Move(SummaryLabel, margin, buttonsY - margin - summaryHeight, width, summaryHeight);
    Move(CopyButton, margin, buttonsY, Scale(kCopyWidth), height);
    Move(SaveButton, margin + Scale(kCopyWidth + kButtonGap), buttonsY, Scale(kSaveWidth), height);
    const int quarantineX = margin + Scale(kCopyWidth + kSaveWidth + 2 * kButtonGap);
    Move(QuarantineButton, quarantineX, buttonsY, Scale(kQuarantineWidth), height);
    Move(DeleteButton, quarantineX + Scale(kQuarantineWidth + kButtonGap), buttonsY, Scale(kDeleteWidth), height);
    Move(CloseButton, client.right - margin - Scale(kCloseWidth), buttonsY, Scale(kCloseWidth), height);
    FitObjectColumn();
}

void TResultsFrm::FitObjectColumn()
{
    FitFirstListColumn(List, static_cast<int>(kColumns.size()), Scale(kMinObjectWidth));
}

// The columns after Object keep their widths, as the user left them, at the new DPI; Object takes the rest.
void TResultsFrm::Rescaled()
{
    for (int column = 1; column < static_cast<int>(kColumns.size()); ++column) {
        const int width = MulDiv(ListView_GetColumnWidth(List, column), static_cast<int>(Dpi()),
            static_cast<int>(columnsDpi_));
        ListView_SetColumnWidth(List, column, width);
    }
    columnsDpi_ = Dpi();
    LayOut();
}

void TResultsFrm::LimitSize(MINMAXINFO& aLimits) const
{
    LimitClientSize(Handle(), {Scale(kMinClientSize.cx), Scale(kMinClientSize.cy)}, aLimits);
}

// The buttons act on the selected rows that are Infected or Possible threat, one action at a time.
void TResultsFrm::UpdateActionButtons()
{
    if (QuarantineButton == nullptr)
        return;
    const bool enable = !Acting() && !ActionTargets(findings_, RowIndices(LVNI_SELECTED), actions_).empty();
    // The keyboard focus stays usable: it leaves a button that is about to be disabled for the list.
    HWND focus = GetFocus();
    if (!enable && (focus == QuarantineButton || focus == DeleteButton))
        SetFocus(List);
    EnableWindow(QuarantineButton, enable);
    EnableWindow(DeleteButton, enable);
}

void TResultsFrm::RunAction(TFindingAction aAction)
{
    if (Acting())
        return;
    std::vector<TActionTarget> targets = ActionTargets(findings_, RowIndices(LVNI_SELECTED), actions_);
    if (targets.empty())
        return;
    if (aAction == TFindingAction::Delete) {
        const TDisabledWindow owner(GetWindow(Handle(), GW_OWNER));
        if (MessageBoxW(Handle(), DeleteQuestion(targets.size()).c_str(), L"Quorvane",
                MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) != IDYES)
            return;
    }
    Act(aAction, std::move(targets));
}

// The files are acted on, in order, on a thread of its own; the window thread shows each outcome
// as its message comes. QuarantineFile and DeleteFinding do not throw; anything else that does
// becomes the outcome of the file at hand.
void TResultsFrm::Act(TFindingAction aAction, std::vector<TActionTarget> aTargets)
{
    action_ = aAction;
    targets_ = std::move(aTargets);
    outcomes_.clear();
    shown_ = 0;
    SetWindowTextW(Handle(), (caption_ + L" - " + ProgressText(action_, 1, targets_.size())).c_str());
    HWND window = Handle();
    worker_ = std::thread([this, window] {
        for (std::size_t i = 0; i < targets_.size(); ++i) {
            quarantine::Outcome outcome;
            try {
                const TActionTarget& target = targets_[i];
                const vault::ThreatKind kind =
                    target.Kind == TFindingKind::Possible ? vault::ThreatKind::PossibleThreat : vault::ThreatKind::Infected;
                outcome = action_ == TFindingAction::Quarantine ? quarantine::QuarantineFile(target.Path, target.Threat, kind)
                                                                : quarantine::DeleteFinding(target.Path);
            } catch (...) {
                outcome = {false, L"The action stopped unexpectedly."};
            }
            {
                const std::lock_guard lock(outcomesMutex_);
                outcomes_.push_back(std::move(outcome));
            }
            PostMessageW(window, kActionProgress, i + 1, 0);
        }
        PostMessageW(window, kActionEnded, 0, 0);
    });
    UpdateActionButtons();
}

void TResultsFrm::ActionProgress(std::size_t aDone)
{
    while (shown_ < aDone && shown_ < targets_.size())
        ShowOutcome(shown_++);
    if (aDone < targets_.size())
        SetWindowTextW(Handle(), (caption_ + L" - " + ProgressText(action_, aDone + 1, targets_.size())).c_str());
}

void TResultsFrm::ShowOutcome(std::size_t aTarget)
{
    std::wstring text;
    {
        const std::lock_guard lock(outcomesMutex_);
        text = ActionText(action_, outcomes_[aTarget]);
    }
    for (const std::size_t row : RowsOfFile(findings_, targets_[aTarget].Path)) {
        actions_[row] = text;
        LVFINDINFOW find{};
        find.flags = LVFI_PARAM;
        find.lParam = static_cast<LPARAM>(row);
        const int index = ListView_FindItem(List, -1, &find);
        if (index >= 0)
            ListView_SetItemText(List, index, kActionColumn, actions_[row].data());
    }
}

void TResultsFrm::ActionEnded()
{
    if (worker_.joinable())
        worker_.join();
    ActionProgress(targets_.size());
    SetWindowTextW(Handle(), caption_.c_str());
    UpdateActionButtons();
    if (closeWhenDone_)
        PostMessageW(Handle(), WM_CLOSE, 0, 0);
    const bool quarantined = action_ == TFindingAction::Quarantine &&
        std::any_of(outcomes_.begin(), outcomes_.end(), [](const quarantine::Outcome& aOutcome) {
            return aOutcome.Succeeded;
        });
    if (quarantined && OnQuarantined)
        OnQuarantined();
}

// A close while an action runs waits for its end.
bool TResultsFrm::CloseQuery()
{
    closeWhenDone_ = Acting();
    return !closeWhenDone_;
}
