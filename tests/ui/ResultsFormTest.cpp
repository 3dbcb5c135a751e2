// The results window driven by messages: its list and layout, sorting, copying, saving and keys.
#include "platform/Error.h"
#include "platform/File.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "toolkit/Toolkit.h"
#include "ui/ResultsForm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <commctrl.h>
#include <objbase.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

using Table = std::vector<std::vector<std::wstring>>;

const std::vector<TFinding> kFindings{
    {L"C:\\test\\eicar.com", L"Eicar-Test-Signature", TFindingKind::Infected, 0},
    {L"C:\\locked\\pagefile.sys", L"The process cannot access the file", TFindingKind::NotScanned, 32},
    {L"C:\\Users\\Ann\\Downloads\\tool.exe", L"Heur.Packed", TFindingKind::Possible, 0},
    {L"C:\\Windows\\Temp\\a,b.dll", L"Backdoor.Zed", TFindingKind::Infected, 0},
};

std::wstring ItemText(HWND aList, int aRow, int aColumn)
{
    wchar_t buffer[512] = {};
    ListView_GetItemText(aList, aRow, aColumn, buffer, 512);
    return buffer;
}

Table TableOf(HWND aList)
{
    Table table;
    for (int row = 0; row < ListView_GetItemCount(aList); ++row)
        table.push_back({ItemText(aList, row, 0), ItemText(aList, row, 1), ItemText(aList, row, 2)});
    return table;
}

// The objects of the list from top to bottom.
std::vector<std::wstring> Objects(HWND aList)
{
    std::vector<std::wstring> objects;
    for (int row = 0; row < ListView_GetItemCount(aList); ++row)
        objects.push_back(ItemText(aList, row, 0));
    return objects;
}

std::vector<std::wstring> HeaderTexts(HWND aList)
{
    HWND header = ListView_GetHeader(aList);
    std::vector<std::wstring> texts;
    for (int i = 0; i < Header_GetItemCount(header); ++i) {
        wchar_t buffer[64] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = buffer;
        item.cchTextMax = 64;
        Header_GetItem(header, i, &item);
        texts.push_back(buffer);
    }
    return texts;
}

// The sort arrows of the header: 'u' up, 'd' down, '-' none, per column.
std::string Arrows(HWND aList)
{
    HWND header = ListView_GetHeader(aList);
    std::string arrows;
    for (int i = 0; i < Header_GetItemCount(header); ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, i, &item);
        arrows += (item.fmt & HDF_SORTUP) ? 'u' : (item.fmt & HDF_SORTDOWN) ? 'd' : '-';
    }
    return arrows;
}

// A click on the middle of the column's header, as the mouse gives it.
void ClickHeader(HWND aList, int aColumn)
{
    HWND header = ListView_GetHeader(aList);
    RECT rect;
    Header_GetItemRect(header, aColumn, &rect);
    const LPARAM at = MAKELPARAM((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2);
    PostMessageW(header, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(header, WM_LBUTTONUP, 0, at);
    Settle();
}

void Select(HWND aList, std::initializer_list<int> aRows)
{
    for (int row : aRows)
        ListView_SetItemState(aList, row, LVIS_SELECTED, LVIS_SELECTED);
}

void EmptyTheClipboard()
{
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    CloseClipboard();
}

std::wstring ClipboardContent()
{
    if (!OpenClipboard(nullptr))
        return L"(the clipboard did not open)";
    std::wstring text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* chars = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = chars;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

// Posts the key to aWindow as if typed with Ctrl held.
void PressWithControl(HWND aWindow, WPARAM aKey)
{
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    PostMessageW(aWindow, WM_KEYDOWN, aKey, 0);
    Settle();
    keys[VK_CONTROL] = 0;
    SetKeyboardState(keys);
}

std::string ReadBytes(const std::filesystem::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

RECT RectIn(HWND aForm, HWND aControl)
{
    RECT rect;
    GetWindowRect(aControl, &rect);
    MapWindowPoints(nullptr, aForm, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class ResultsFormTest : public testing::Test {
protected:
    void SetUp() override
    {
        form_ = std::make_unique<TResultsFrm>(nullptr, kFindings);
        form_->Show();
        Settle();
    }

    HWND List() const { return form_->List; }

    std::unique_ptr<TResultsFrm> form_;
};

TEST_F(ResultsFormTest, OpensWithTheFindingsInScanOrderTheUnscannedLast)
{
    EXPECT_EQ(Text(form_->Handle()), L"Scan results");
    EXPECT_EQ(ClassOf(List()), L"SysListView32");
    EXPECT_EQ(GetWindowLongW(List(), GWL_STYLE) & LVS_TYPEMASK, LVS_REPORT);
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(List()) & LVS_EX_FULLROWSELECT);
    EXPECT_EQ(HeaderTexts(List()), (std::vector<std::wstring>{L"Object", L"Threat", L"Kind", L"Action"}));
    EXPECT_EQ(TableOf(List()),
        (Table{{L"C:\\test\\eicar.com", L"Eicar-Test-Signature", L"Infected"},
            {L"C:\\Users\\Ann\\Downloads\\tool.exe", L"Heur.Packed", L"Possible threat"},
            {L"C:\\Windows\\Temp\\a,b.dll", L"Backdoor.Zed", L"Infected"},
            {L"C:\\locked\\pagefile.sys", L"The process cannot access the file", L"Not scanned"}}));
    EXPECT_EQ(Arrows(List()), "----");
    EXPECT_EQ(ListView_GetSelectedCount(List()), 0u);
    EXPECT_EQ(GetFocus(), List());

    const LONG style = GetWindowLongW(form_->Handle(), GWL_STYLE);
    EXPECT_TRUE((style & WS_THICKFRAME) && (style & WS_MAXIMIZEBOX)) << "resizable";
    for (HWND button : {form_->CopyButton, form_->SaveButton, form_->QuarantineButton, form_->DeleteButton, form_->CloseButton})
        EXPECT_EQ(ClassOf(button), L"Button");
    EXPECT_EQ(Text(form_->CopyButton), L"Copy");
    EXPECT_EQ(Text(form_->SaveButton), L"Save report...");
    EXPECT_EQ(Text(form_->QuarantineButton), L"Quarantine");
    EXPECT_EQ(Text(form_->DeleteButton), L"Delete...");
    EXPECT_EQ(Text(form_->CloseButton), L"Close");
    EXPECT_THAT(CutOffTexts(form_->Handle()), testing::IsEmpty());
    EXPECT_THAT(OverlappingControls(form_->Handle()), testing::IsEmpty());

    std::vector<HWND> tabOrder;
    for (HWND child = GetWindow(form_->Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP)
            tabOrder.push_back(child);
    }
    EXPECT_EQ(tabOrder, (std::vector<HWND>{List(), form_->CopyButton, form_->SaveButton, form_->QuarantineButton,
                            form_->DeleteButton, form_->CloseButton}));
}

TEST_F(ResultsFormTest, AHeaderClickSortsByItsColumnAndTheNextReversesIt)
{
    ClickHeader(List(), 0);
    EXPECT_EQ(Objects(List()), (std::vector<std::wstring>{L"C:\\locked\\pagefile.sys", L"C:\\test\\eicar.com",
                                   L"C:\\Users\\Ann\\Downloads\\tool.exe", L"C:\\Windows\\Temp\\a,b.dll"}));
    EXPECT_EQ(Arrows(List()), "u---");
    ClickHeader(List(), 0);
    EXPECT_EQ(Objects(List()), (std::vector<std::wstring>{L"C:\\Windows\\Temp\\a,b.dll",
                                   L"C:\\Users\\Ann\\Downloads\\tool.exe", L"C:\\test\\eicar.com", L"C:\\locked\\pagefile.sys"}));
    EXPECT_EQ(Arrows(List()), "d---");

    ClickHeader(List(), 2);
    EXPECT_EQ(Objects(List()), (std::vector<std::wstring>{L"C:\\test\\eicar.com", L"C:\\Windows\\Temp\\a,b.dll",
                                   L"C:\\Users\\Ann\\Downloads\\tool.exe", L"C:\\locked\\pagefile.sys"}))
        << "a new column sorts ascending, ties in scan order";
    EXPECT_EQ(Arrows(List()), "--u-");
    ClickHeader(List(), 2);
    EXPECT_EQ(Objects(List()), (std::vector<std::wstring>{L"C:\\locked\\pagefile.sys",
                                   L"C:\\Users\\Ann\\Downloads\\tool.exe", L"C:\\test\\eicar.com", L"C:\\Windows\\Temp\\a,b.dll"}));
    EXPECT_EQ(Arrows(List()), "--d-");

    form_->SortBy(TResultsColumn::Threat);
    EXPECT_EQ(ItemText(List(), 0, 1), L"Backdoor.Zed");
    EXPECT_EQ(ItemText(List(), 3, 1), L"The process cannot access the file");
    EXPECT_EQ(Arrows(List()), "-u--");
}

TEST_F(ResultsFormTest, CopyTakesTheSelectedRowsOrEveryRowAndCtrlCDoesTheSame)
{
    const std::wstring header = L"Object\tThreat\tKind\tAction\r\n";
    const std::wstring eicar = L"C:\\test\\eicar.com\tEicar-Test-Signature\tInfected\t\r\n";
    const std::wstring tool = L"C:\\Users\\Ann\\Downloads\\tool.exe\tHeur.Packed\tPossible threat\t\r\n";
    const std::wstring dll = L"C:\\Windows\\Temp\\a,b.dll\tBackdoor.Zed\tInfected\t\r\n";
    const std::wstring locked = L"C:\\locked\\pagefile.sys\tThe process cannot access the file\tNot scanned\t\r\n";

    EmptyTheClipboard();
    Click(form_->CopyButton);
    Settle();
    EXPECT_EQ(ClipboardContent(), header + eicar + tool + dll + locked) << "nothing selected: every row";

    ClickHeader(List(), 2);
    ClickHeader(List(), 2);
    Select(List(), {0, 3});
    EmptyTheClipboard();
    Click(form_->CopyButton);
    Settle();
    EXPECT_EQ(ClipboardContent(), header + locked + dll) << "the selected rows in the list's order";

    EmptyTheClipboard();
    SetFocus(List());
    PressWithControl(List(), 'C');
    EXPECT_EQ(ClipboardContent(), header + locked + dll);

    EmptyTheClipboard();
    PostMessageW(List(), WM_KEYDOWN, 'C', 0);
    Settle();
    EXPECT_EQ(ClipboardContent(), L"") << "C alone copies nothing";
}

TEST_F(ResultsFormTest, TabGoesRoundTheControlsArrowsMoveInTheListEscapeCloses)
{
    SetFocus(List());
    std::vector<HWND> visited;
    for (int i = 0; i < 4; ++i) {
        PostMessageW(GetFocus(), WM_KEYDOWN, VK_TAB, 0);
        Settle();
        visited.push_back(GetFocus());
    }
    EXPECT_EQ(visited, (std::vector<HWND>{form_->CopyButton, form_->SaveButton, form_->CloseButton, List()}));

    PostMessageW(List(), WM_KEYDOWN, VK_DOWN, 0);
    Settle();
    EXPECT_EQ(ListView_GetNextItem(List(), -1, LVNI_SELECTED), 1);
    EXPECT_EQ(ListView_GetSelectedCount(List()), 1u);
    EXPECT_EQ(GetFocus(), List());

    PostMessageW(List(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([this] { return form_->Handle() == nullptr; }, 5s));
}

TEST_F(ResultsFormTest, CloseButtonClosesTheWindow)
{
    Click(form_->CloseButton);
    EXPECT_TRUE(PumpUntil([this] { return form_->Handle() == nullptr; }, 5s));
}

TEST_F(ResultsFormTest, ResizingGrowsTheListKeepsTheButtonsInPlaceAndStopsAtAMinimum)
{
    RECT window;
    GetWindowRect(form_->Handle(), &window);
    const RECT listBefore = RectIn(form_->Handle(), List());
    const int objectBefore = ListView_GetColumnWidth(List(), 0);
    SetWindowPos(form_->Handle(), nullptr, 0, 0, window.right - window.left + 200, window.bottom - window.top + 100,
        SWP_NOMOVE | SWP_NOZORDER);
    Settle();

    RECT client;
    GetClientRect(form_->Handle(), &client);
    const RECT list = RectIn(form_->Handle(), List());
    EXPECT_EQ(list.right - list.left, listBefore.right - listBefore.left + 200);
    EXPECT_EQ(list.bottom - list.top, listBefore.bottom - listBefore.top + 100);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 0), objectBefore + 200) << "the Object column takes the new width";
    const RECT close = RectIn(form_->Handle(), form_->CloseButton);
    EXPECT_EQ(close.right, client.right - form_->Scale(10));
    EXPECT_EQ(close.bottom, client.bottom - form_->Scale(10));
    EXPECT_EQ(RectIn(form_->Handle(), form_->CopyButton).top, close.top);
    EXPECT_THAT(OverlappingControls(form_->Handle()), testing::IsEmpty());

    MINMAXINFO limits{};
    SendMessageW(form_->Handle(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    GetWindowRect(form_->Handle(), &window);
    const int frameWidth = (window.right - window.left) - client.right;
    const int frameHeight = (window.bottom - window.top) - client.bottom;
    EXPECT_EQ(limits.ptMinTrackSize.x, form_->Scale(520) + frameWidth);
    EXPECT_EQ(limits.ptMinTrackSize.y, form_->Scale(200) + frameHeight);

    SetWindowPos(form_->Handle(), nullptr, 0, 0, limits.ptMinTrackSize.x, limits.ptMinTrackSize.y,
        SWP_NOMOVE | SWP_NOZORDER);
    Settle();
    EXPECT_THAT(OverlappingControls(form_->Handle()), testing::IsEmpty()) << "at the smallest size";
    EXPECT_THAT(CutOffTexts(form_->Handle()), testing::IsEmpty());
}

TEST_F(ResultsFormTest, DpiChangeScalesTheColumnsAndTheLayout)
{
    ListView_SetColumnWidth(List(), 1, 200);
    const int kind = ListView_GetColumnWidth(List(), 2);
    const int action = ListView_GetColumnWidth(List(), 3);
    const UINT dpi = form_->Dpi() * 3 / 2;
    RECT window;
    GetWindowRect(form_->Handle(), &window);
    RECT suggested{window.left, window.top, window.left + MulDiv(window.right - window.left, 3, 2),
        window.top + MulDiv(window.bottom - window.top, 3, 2)};
    SendMessageW(form_->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Settle();

    EXPECT_EQ(form_->Dpi(), dpi);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 1), 300) << "as the user left it, at the new scale";
    EXPECT_EQ(ListView_GetColumnWidth(List(), 2), kind * 3 / 2);
    RECT client;
    GetClientRect(List(), &client);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 3), action * 3 / 2);
    EXPECT_EQ(ListView_GetColumnWidth(List(), 0) + 300 + kind * 3 / 2 + action * 3 / 2, client.right);
    EXPECT_EQ(RectIn(form_->Handle(), List()).left, MulDiv(10, static_cast<int>(dpi), 96));
    EXPECT_THAT(CutOffTexts(form_->Handle()), testing::IsEmpty());
    EXPECT_THAT(OverlappingControls(form_->Handle()), testing::IsEmpty());
}

TEST_F(ResultsFormTest, TheReportHasEveryRowInTheListsOrderAndItsErrorsSayWhat)
{
    TempFolder folder;
    const std::filesystem::path path = folder.Path() / L"r\u00E9sultats.csv";
    ClickHeader(List(), 1);
    Select(List(), {0});
    form_->WriteReport(path.wstring());
    EXPECT_EQ(ReadBytes(path), "\xEF\xBB\xBF"
                               "Object,Threat,Kind,Action\r\n"
                               "\"C:\\Windows\\Temp\\a,b.dll\",Backdoor.Zed,Infected,\r\n"
                               "C:\\test\\eicar.com,Eicar-Test-Signature,Infected,\r\n"
                               "C:\\Users\\Ann\\Downloads\\tool.exe,Heur.Packed,Possible threat,\r\n"
                               "C:\\locked\\pagefile.sys,The process cannot access the file,Not scanned,\r\n")
        << "every row, whatever is selected";

    const std::wstring missing = folder.Str() + L"\\missing\\report.csv";
    EXPECT_EQ(MessageOf([&] { form_->WriteReport(missing); }),
        L"Report saving failed: Cannot create file \"" + missing + L"\". " + SystemErrorText(ERROR_PATH_NOT_FOUND));
}

// The top-level dialog (#32770) of this process, waited for up to 10 s.
HWND WaitForDialog()
{
    const std::optional<MessageBoxInfo> dialog = WaitForOwnMessageBox(10s);
    return dialog ? dialog->window : nullptr;
}

BOOL CALLBACK FindEdit(HWND aChild, LPARAM aFound)
{
    if (ClassOf(aChild) == L"Edit" && IsWindowVisible(aChild)) {
        *reinterpret_cast<HWND*>(aFound) = aChild;
        return FALSE;
    }
    return TRUE;
}

TEST_F(ResultsFormTest, SaveReportWritesThroughTheSystemSaveDialog)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    TempFolder folder;
    const std::filesystem::path path = folder.Path() / L"saved.csv";
    std::wstring offered;
    RunWithDriver([this, &path] {
        Click(form_->SaveButton);
        PumpUntil([&path] { return std::filesystem::exists(path); }, 20s);
        Settle();
    },
        [&path, &offered] {
            HWND dialog = WaitForDialog();
            ASSERT_NE(dialog, nullptr);
            HWND edit = nullptr;
            EnumChildWindows(dialog, FindEdit, reinterpret_cast<LPARAM>(&edit));
            ASSERT_NE(edit, nullptr);
            offered = Text(edit);
            SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.wstring().c_str()));
            PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        });
    CoUninitialize();
    EXPECT_EQ(offered, L"scan-results.csv");
    const std::string bytes = ReadBytes(path);
    EXPECT_TRUE(bytes.starts_with("\xEF\xBB\xBFObject,Threat,Kind,Action\r\nC:\\test\\eicar.com,"))
        << testing::PrintToString(bytes);
}

TEST(ResultsFormOwnedTest, TheOwnerIsDisabledWhileTheSaveDialogIsUpAndEnabledAgainAfterCancel)
{
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    HWND owner = CreateWindowExW(0, L"Static", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    {
        TResultsFrm form(owner, kFindings);
        form.Show();
        Settle();
        std::optional<bool> ownerEnabled;
        std::atomic<bool> cancelled{false};
        bool dialogGone = false;
        RunWithDriver([&form, &cancelled, &dialogGone] {
            Click(form.SaveButton);
            dialogGone = PumpUntil([&cancelled] { return cancelled && !WaitForOwnMessageBox(0ms); }, 20s);
        },
            [owner, &ownerEnabled, &cancelled] {
                HWND dialog = WaitForDialog();
                if (dialog != nullptr) {
                    ownerEnabled = IsWindowEnabled(owner) != FALSE;
                    PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
                }
                cancelled = true;
            });
        EXPECT_TRUE(dialogGone);
        EXPECT_EQ(ownerEnabled, false) << "the owner's Start must not close the window under its dialog";
        EXPECT_TRUE(IsWindowEnabled(owner)) << "enabled again after the dialog";
        EXPECT_TRUE(IsWindowEnabled(form.Handle()));
    }
    DestroyWindow(owner);
    CoUninitialize();
}

} // namespace

// The skipped counts are one line between the list and the buttons, in no copy or report.
TEST(ResultsFormSummaryTest, TheSkippedCountsAreALineUnderTheListOutsideCopyAndReport)
{
    const std::vector<TFinding> unread{
        {L"C:\\locked\\a.dll", L"The process cannot access the file.", TFindingKind::NotScanned, 32}};
    TResultsFrm plain(nullptr, unread);
    EXPECT_EQ(plain.SummaryLabel, nullptr) << "no line when nothing was counted";

    TResultsFrm form(nullptr, unread, TSkippedCounts{1, 0, 3});
    form.Show();
    Settle();
    ASSERT_NE(form.SummaryLabel, nullptr);
    EXPECT_EQ(Text(form.SummaryLabel),
        L"Also skipped: 1 process whose modules could not be read; 3 files that vanished during the scan.");
    EXPECT_EQ(TableOf(form.List), (Table{{L"C:\\locked\\a.dll", L"The process cannot access the file.", L"Not scanned"}}));
    const RECT list = RectIn(form.Handle(), form.List);
    const RECT summary = RectIn(form.Handle(), form.SummaryLabel);
    const RECT copy = RectIn(form.Handle(), form.CopyButton);
    EXPECT_LE(list.bottom, summary.top);
    EXPECT_LE(summary.bottom, copy.top);
    EXPECT_EQ(summary.left, list.left);
    EXPECT_EQ(summary.right, list.right);
    EXPECT_THAT(OverlappingControls(form.Handle()), testing::IsEmpty());

    EmptyTheClipboard();
    form.CopyRows();
    EXPECT_EQ(ClipboardContent().find(L"Also skipped"), std::wstring::npos);
    TempFolder folder;
    const std::filesystem::path report = folder.Path() / L"report.csv";
    form.WriteReport(report.wstring());
    EXPECT_EQ(ReadBytes(report).find("Also skipped"), std::string::npos);
    EXPECT_NE(ReadBytes(report).find("locked"), std::string::npos);
}
