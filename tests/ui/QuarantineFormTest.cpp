// The Quarantine window on a store of real items: its list and sorting, restore with each answer to
// the question about an existing file, a damaged item, deletion, the buttons' states and the layout.
#include "quarantine/Quarantine.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "toolkit/Toolkit.h"
#include "ui/QuarantineForm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <commctrl.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& aPath, const std::string& aBytes)
{
    std::ofstream(aPath, std::ios::binary) << aBytes;
}

std::wstring Cell(HWND aList, int aRow, int aColumn)
{
    wchar_t buffer[512] = {};
    ListView_GetItemText(aList, aRow, aColumn, buffer, 512);
    return buffer;
}

std::vector<std::wstring> Column(HWND aList, int aColumn)
{
    std::vector<std::wstring> cells;
    for (int row = 0; row < ListView_GetItemCount(aList); ++row)
        cells.push_back(Cell(aList, row, aColumn));
    return cells;
}

BOOL CALLBACK FindEdit(HWND aChild, LPARAM aFound)
{
    if (ClassOf(aChild) == L"Edit" && IsWindowVisible(aChild)) {
        *reinterpret_cast<HWND*>(aFound) = aChild;
        return FALSE;
    }
    return TRUE;
}

// Waits until aWindow has gone, so that the next dialog looked for is a new one.
void WaitUntilGone(HWND aWindow)
{
    for (int i = 0; i < 500 && IsWindow(aWindow) && IsWindowVisible(aWindow); ++i)
        Sleep(10);
}

class QuarantineFormTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override
    {
        form_.reset();
        CoUninitialize();
    }

    // Writes aContent to aName among the files and quarantines it into the test's store.
    fs::path Quarantined(const std::wstring& aName, const std::string& aContent, const std::wstring& aThreat = L"Eicar")
    {
        const fs::path path = files_.Path() / aName;
        WriteAll(path, aContent);
        EXPECT_TRUE(quarantine::QuarantineFile(path, aThreat, vault::ThreatKind::Infected, store_.Str()).Succeeded);
        return path;
    }

    void Open()
    {
        form_ = std::make_unique<TQuarantineFrm>(nullptr, store_.Str());
        form_->Show();
        Settle();
    }

    void SelectAll()
    {
        ListView_SetItemState(form_->List, -1, LVIS_SELECTED, LVIS_SELECTED);
        Settle();
    }

    // Clicks aButton and pumps until the restore it started has ended.
    void ClickAndWait(HWND aButton)
    {
        Click(aButton);
        Settle();
        ASSERT_TRUE(PumpUntil([this] { return !form_->Restoring(); }, 30s));
        Settle();
    }

    std::size_t ItemCount() { return quarantine::ListItems(store_.Str()).size(); }

    TempFolder files_;
    TempFolder store_;
    std::unique_ptr<TQuarantineFrm> form_;
};

TEST_F(QuarantineFormTest, ListsEveryItemAndSortsSizesByBytes)
{
    Quarantined(L"b-small.com", std::string(900, 'a'), L"Trojan.B");
    Quarantined(L"a-medium.com", std::string(2048, 'b'), L"Worm.A");
    Quarantined(L"c-large.com", std::string(10240, 'c'), L"Adware.C");
    WriteAll(store_.Path() / L"{00000000-0000-0000-0000-000000000000}", "not an item");
    Open();

    EXPECT_EQ(Text(form_->Handle()), L"Quarantine");
    ASSERT_EQ(ListView_GetItemCount(form_->List), 4);
    const std::vector<quarantine::Item> items = quarantine::ListItems(store_.Str());
    for (const quarantine::Item& item : items) {
        if (item.Header.Path.empty())
            continue;
        const std::wstring object(item.Header.Path.begin(), item.Header.Path.end());
        LVFINDINFOW find{};
        find.flags = LVFI_STRING;
        find.psz = object.c_str();
        const int row = ListView_FindItem(form_->List, -1, &find);
        ASSERT_GE(row, 0);
        EXPECT_EQ(Cell(form_->List, row, 1), std::wstring(item.Header.Threat.begin(), item.Header.Threat.end()));
        EXPECT_EQ(Cell(form_->List, row, 2), DateText(item.Header.QuarantineTime));
        EXPECT_FALSE(Cell(form_->List, row, 2).empty());
        EXPECT_EQ(Cell(form_->List, row, 3), SizeText(item.Header.Size));
    }
    EXPECT_THAT(Column(form_->List, 1), testing::Contains(quarantine::kDamagedMessage)) << "a damaged item is listed";

    // The date and the size are shown whole, also after a DPI change to a larger font. (The list
    // draws a cell's text within 12 pixels of margins, whatever the DPI.)
    constexpr int kCellMargins = 12;
    const auto fitsWhole = [this](int aColumn) {
        for (const std::wstring& cell : Column(form_->List, aColumn)) {
            if (ListView_GetStringWidth(form_->List, cell.c_str()) + kCellMargins > ListView_GetColumnWidth(form_->List, aColumn))
                return false;
        }
        return true;
    };
    EXPECT_TRUE(fitsWhole(2) && fitsWhole(3));
    const UINT dpi = form_->Dpi() * 3 / 2;
    RECT window;
    GetWindowRect(form_->Handle(), &window);
    RECT suggested{window.left, window.top, window.left + MulDiv(window.right - window.left, 3, 2),
        window.top + MulDiv(window.bottom - window.top, 3, 2)};
    SendMessageW(form_->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Settle();
    EXPECT_TRUE(fitsWhole(2) && fitsWhole(3)) << "at " << dpi << " DPI";

    // By text "10.0 KB" would come before "2.00 KB" and "900 bytes"; by bytes it comes last.
    form_->SortBy(TQuarantineColumn::Size);
    EXPECT_THAT(Column(form_->List, 3), testing::ElementsAre(L"", SizeText(900), SizeText(2048), SizeText(10240)));
    form_->SortBy(TQuarantineColumn::Size);
    EXPECT_THAT(Column(form_->List, 3), testing::ElementsAre(SizeText(10240), SizeText(2048), SizeText(900), L""));
    form_->SortBy(TQuarantineColumn::Threat);
    EXPECT_THAT(Column(form_->List, 1), testing::ElementsAre(L"Adware.C", quarantine::kDamagedMessage, L"Trojan.B", L"Worm.A"));
    HDITEMW header{};
    header.mask = HDI_FORMAT;
    Header_GetItem(ListView_GetHeader(form_->List), 1, &header);
    EXPECT_TRUE(header.fmt & HDF_SORTUP);
}

TEST_F(QuarantineFormTest, ButtonsFollowTheSelectionAndTheKeyboardReachesThem)
{
    Quarantined(L"one.com", EicarText());
    Open();
    EXPECT_FALSE(Enabled(form_->RestoreButton)) << "nothing selected";
    EXPECT_FALSE(Enabled(form_->DeleteButton));
    SelectAll();
    EXPECT_TRUE(Enabled(form_->RestoreButton));
    EXPECT_TRUE(Enabled(form_->DeleteButton));

    std::vector<HWND> tabOrder;
    for (HWND child = GetWindow(form_->Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP)
            tabOrder.push_back(child);
    }
    EXPECT_EQ(tabOrder, (std::vector<HWND>{form_->List, form_->RestoreButton, form_->DeleteButton, form_->CloseButton}));
    EXPECT_THAT(CutOffTexts(form_->Handle()), testing::IsEmpty());
    EXPECT_THAT(OverlappingControls(form_->Handle()), testing::IsEmpty());

    // The smallest size the frame allows still shows every control whole.
    SetWindowPos(form_->Handle(), nullptr, 0, 0, 1, 1, SWP_NOMOVE | SWP_NOZORDER);
    Settle();
    EXPECT_THAT(OverlappingControls(form_->Handle()), testing::IsEmpty());

    // Escape closes the window, as its Close button does.
    SetFocus(form_->List);
    PostMessageW(form_->List, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(PumpUntil([this] { return form_->Handle() == nullptr; }, 5s));
}

TEST_F(QuarantineFormTest, RestoreOntoAnExistingFileFollowsTheAnswer)
{
    struct Case {
        int answer;
        const char* expectedAtPath; // nullptr: the original content
        bool savedElsewhere;
        bool itemStays;
    };
    const Case cases[] = {
        {IDYES, nullptr, false, false},
        {IDNO, "newer", true, false},
        {IDCANCEL, "newer", false, true},
    };
    for (const Case& c : cases) {
        const fs::path path = Quarantined(L"again.com", EicarText());
        WriteAll(path, "newer");
        const fs::path elsewhere = files_.Path() / L"elsewhere.com";
        Open();
        SelectAll();
        std::optional<MessageBoxInfo> box;
        bool buttonsWhileAsked = true;
        std::wstring offered;
        RunWithDriver([this] { ClickAndWait(form_->RestoreButton); },
            [&] {
                box = WaitForOwnMessageBox(10s);
                if (!box)
                    return;
                buttonsWhileAsked = Enabled(form_->RestoreButton) || Enabled(form_->DeleteButton);
                PostMessageW(GetDlgItem(box->window, c.answer), BM_CLICK, 0, 0);
                if (c.answer != IDNO)
                    return;
                WaitUntilGone(box->window);
                const std::optional<MessageBoxInfo> dialog = WaitForOwnMessageBox(10s);
                ASSERT_TRUE(dialog.has_value());
                HWND edit = nullptr;
                EnumChildWindows(dialog->window, FindEdit, reinterpret_cast<LPARAM>(&edit));
                ASSERT_NE(edit, nullptr);
                offered = Text(edit);
                SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(elsewhere.wstring().c_str()));
                PostMessageW(GetDlgItem(dialog->window, IDOK), BM_CLICK, 0, 0);
            });
        ASSERT_TRUE(box.has_value()) << c.answer;
        EXPECT_EQ(box->text, L"A file named " + path.wstring() + L" already exists. Replace it?");
        EXPECT_EQ(box->buttonCount, 3) << "Yes, No and Cancel";
        EXPECT_FALSE(buttonsWhileAsked) << c.answer;
        EXPECT_EQ(ReadAll(path), c.expectedAtPath != nullptr ? c.expectedAtPath : EicarText()) << c.answer;
        EXPECT_EQ(fs::exists(elsewhere), c.savedElsewhere) << c.answer;
        if (c.savedElsewhere) {
            EXPECT_EQ(offered, L"again.com");
            EXPECT_EQ(ReadAll(elsewhere), EicarText());
        }
        EXPECT_EQ(ItemCount(), c.itemStays ? 1u : 0u) << c.answer;
        EXPECT_EQ(ListView_GetItemCount(form_->List), c.itemStays ? 1 : 0) << "the list shows the store";
        for (const quarantine::Item& item : quarantine::ListItems(store_.Str()))
            quarantine::DeleteItem(item.File);
        fs::remove(path);
        fs::remove(elsewhere);
    }
}

TEST_F(QuarantineFormTest, ADamagedItemIsRefusedWithItsMessageAndNothingIsWritten)
{
    const fs::path path = Quarantined(L"victim.com", EicarText());
    const fs::path item = quarantine::ListItems(store_.Str()).at(0).File;
    std::string bytes = ReadAll(item);
    bytes.back() ^= 1;
    WriteAll(item, bytes);
    Open();
    SelectAll();
    const auto box = RunExpectingMessageBox([this] { ClickAndWait(form_->RestoreButton); });
    ASSERT_TRUE(box.has_value());
    EXPECT_EQ(box->text, quarantine::kDamagedMessage);
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_FALSE(fs::exists(path));
    EXPECT_TRUE(fs::is_empty(files_.Path())) << "not even a temporary file";
    EXPECT_EQ(ItemCount(), 1u) << "the item is kept";
}

TEST_F(QuarantineFormTest, DeleteAsksFirstAndYesRemovesTheItemsForGood)
{
    Quarantined(L"first.com", EicarText());
    Quarantined(L"second.com", EicarText());
    Open();
    SelectAll();
    for (const int button : {IDNO, IDYES}) {
        std::optional<MessageBoxInfo> box;
        std::atomic<bool> answered = false;
        RunWithDriver(
            [this, button, &answered] {
                // No through the keyboard's Delete key, Yes through the button.
                if (button == IDNO)
                    PostMessageW(form_->List, WM_KEYDOWN, VK_DELETE, 0);
                else
                    Click(form_->DeleteButton);
                PumpUntil([&answered] { return answered.load(); }, 15s);
                PumpUntil([] { return false; }, 300ms);
            },
            [&box, &answered, button] {
                box = WaitForOwnMessageBox(10s);
                if (box)
                    PostMessageW(GetDlgItem(box->window, button), BM_CLICK, 0, 0);
                answered = true;
            });
        ASSERT_TRUE(box.has_value()) << button;
        EXPECT_EQ(box->text, L"Delete 2 files permanently?");
        EXPECT_EQ(box->buttonCount, 2) << "Yes and No";
        EXPECT_EQ(ItemCount(), button == IDNO ? 2u : 0u);
    }
    EXPECT_EQ(ListView_GetItemCount(form_->List), 0);
    EXPECT_FALSE(Enabled(form_->DeleteButton));
    EXPECT_TRUE(fs::is_empty(files_.Path())) << "nothing was restored";
}

} // namespace
