// The options dialog driven by messages: defaults, group enabling, the folder rules, saving and closing.
#include "toolkit/Toolkit.h"
#include "settings/Settings.h"
#include "tests/ui/UiTestSupport.h"
#include "ui/SettingsForm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <memory>

#include <string>
#include <utility>
#include <vector>

namespace {

using Items = std::vector<std::pair<std::wstring, bool>>;

bool Checked(HWND aCheckBox)
{
    return SendMessageW(aCheckBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

Items ItemsOf(const TSettingsFrm& aForm)
{
    TCheckList list(aForm.FoldersControl);
    Items items;
    for (int i = 0; i < list.Count(); ++i)
        items.emplace_back(list.Text(i), list.Checked(i));
    return items;
}

Items FolderTable()
{
    Items table;
    for (int i = 0; i < Settings().FolderCount(); ++i) {
        const std::wstring name = Settings().GetFolderName(i);
        table.emplace_back(name, Settings().GetFolderScan(name));
    }
    return table;
}

int SelectedItem(const TSettingsFrm& aForm)
{
    return TCheckList(aForm.FoldersControl).Selected();
}

std::vector<HWND> LowerGroups(const TSettingsFrm& aForm)
{
    return {aForm.GroupBox2, aForm.MemoryScanControl, aForm.RegistryScanControl, aForm.ArchiveScanControl,
        aForm.HeuristicModeControl, aForm.GroupBox3, aForm.AddFolderButton, aForm.FoldersControl};
}

class SettingsFormTest : public testing::Test {
protected:
    void SetUp() override { ResetSettings(); }
    void TearDown() override { ResetSettings(); }

    // The dialog as EditModal builds it, shown without its modal loop so the test can drive it.
    void Open()
    {
        form_ = std::make_unique<TSettingsFrm>();
        form_->LoadFromSettings();
        form_->Show();
        Settle();
    }

    void ClearFullScan()
    {
        Click(form_->FullScanControl);
        Settle();
        ASSERT_FALSE(Checked(form_->FullScanControl));
    }

    std::unique_ptr<TSettingsFrm> form_;
};

TEST_F(SettingsFormTest, FirstOpeningShowsTheDefaultsWithTheLowerGroupsDisabled)
{
    Open();
    EXPECT_EQ(Text(form_->Handle()), L"Quorvane options");
    RECT client;
    GetClientRect(form_->Handle(), &client);
    EXPECT_EQ(client.right, form_->Scale(497));
    EXPECT_EQ(client.bottom, form_->Scale(438));
    for (HWND box : {form_->FullScanControl, form_->MemoryScanControl, form_->RegistryScanControl,
             form_->ArchiveScanControl, form_->HeuristicModeControl})
        EXPECT_TRUE(Checked(box)) << testing::PrintToString(Text(box));
    for (HWND control : LowerGroups(*form_))
        EXPECT_FALSE(Enabled(control)) << testing::PrintToString(Text(control));
    EXPECT_FALSE(Enabled(form_->RemoveFolderButton));
    EXPECT_TRUE(Enabled(form_->SaveButton));
    EXPECT_EQ(Text(form_->RemoveFolderButton), L"Remove folder");

    Items expected;
    for (const std::wstring& root : GetFixedDrives())
        expected.emplace_back(root, true);
    EXPECT_EQ(ItemsOf(*form_), expected);
    EXPECT_EQ(ClassOf(form_->FoldersControl), L"SysListView32");
    EXPECT_THAT(CutOffTexts(form_->Handle()), testing::IsEmpty());
    EXPECT_THAT(OverlappingControls(form_->Handle()), testing::IsEmpty());
    EXPECT_TRUE(ListView_GetExtendedListViewStyle(form_->FoldersControl) & LVS_EX_CHECKBOXES);
    EXPECT_TRUE(GetWindowLongW(form_->FoldersControl, GWL_STYLE) & LVS_SINGLESEL);

    std::vector<HWND> tabOrder;
    for (HWND child = GetWindow(form_->Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP)
            tabOrder.push_back(child);
    }
    EXPECT_EQ(tabOrder, (std::vector<HWND>{form_->SaveButton, form_->FullScanControl, form_->MemoryScanControl,
                            form_->RegistryScanControl, form_->ArchiveScanControl, form_->HeuristicModeControl,
                            form_->Button2, form_->AddFolderButton, form_->RemoveFolderButton,
                            form_->FoldersControl}));
}

TEST_F(SettingsFormTest, FullScanSwitchesBothGroupsAndTheOptionsKeepTheirMarks)
{
    Open();
    ClearFullScan();
    for (HWND control : LowerGroups(*form_))
        EXPECT_TRUE(Enabled(control)) << testing::PrintToString(Text(control));
    Click(form_->RegistryScanControl);
    Settle();
    Click(form_->FullScanControl);
    Settle();
    for (HWND control : LowerGroups(*form_))
        EXPECT_FALSE(Enabled(control)) << testing::PrintToString(Text(control));
    EXPECT_FALSE(Checked(form_->RegistryScanControl));
    EXPECT_TRUE(Checked(form_->MemoryScanControl));

    Click(form_->SaveButton);
    Settle();
    EXPECT_EQ(form_->ModalResult(), IDOK);
    EXPECT_TRUE(Settings().FullScan());
    EXPECT_FALSE(Settings().RegistryScan()) << "options are saved as shown, also under a full scan";
    EXPECT_TRUE(Settings().MemoryScan());
}

TEST_F(SettingsFormTest, AddedFoldersCanBeRemovedDriveRootsOnlyUnchecked)
{
    Settings().ClearFolders();
    Settings().SetFolderScan(L"C:\\", true);
    Open();
    ClearFullScan();
    EXPECT_FALSE(Enabled(form_->RemoveFolderButton)) << "nothing selected";

    form_->AddFolder(L"C:\\Work\\Data");
    Settle();
    EXPECT_EQ(SelectedItem(*form_), 1);
    EXPECT_TRUE(Enabled(form_->RemoveFolderButton));

    form_->AddFolder(L"D:\\");
    Settle();
    EXPECT_EQ(SelectedItem(*form_), 2);
    EXPECT_FALSE(Enabled(form_->RemoveFolderButton)) << "a drive root cannot be removed";

    TCheckList(form_->FoldersControl).SetChecked(1, false);
    form_->AddFolder(L"c:\\WORK\\data");
    Settle();
    EXPECT_EQ(ItemsOf(*form_), (Items{{L"C:\\", true}, {L"C:\\Work\\Data", true}, {L"D:\\", true}}))
        << "a folder listed in other letter case is checked again, not added";
    EXPECT_EQ(SelectedItem(*form_), 1);

    Click(form_->RemoveFolderButton);
    Settle();
    TCheckList(form_->FoldersControl).SetChecked(0, false);
    Click(form_->SaveButton);
    Settle();
    EXPECT_EQ(form_->ModalResult(), IDOK);
    EXPECT_EQ(FolderTable(), (Items{{L"C:\\", false}, {L"D:\\", true}}));
}

TEST_F(SettingsFormTest, AddFolderShowsTheSystemFolderPickerAndCancellingAddsNothing)
{
    Open();
    ClearFullScan();
    const Items before = ItemsOf(*form_);
    std::atomic<bool> done = false;
    std::wstring okLabel;
    RunWithDriver(
        [&] {
            Click(form_->AddFolderButton);
            PumpUntil([&] { return done.load(); }, 20s);
            Settle();
        },
        [&] {
            HWND picker = nullptr;
            for (int i = 0; i < 1000 && picker == nullptr; ++i, Sleep(10))
                picker = FindWindowW(L"#32770", L"Add folder to scan");
            if (picker != nullptr) {
                okLabel = Text(GetDlgItem(picker, IDOK));
                PostMessageW(picker, WM_COMMAND, IDCANCEL, 0);
            }
            done = true;
        });
    EXPECT_EQ(okLabel, L"Select");
    EXPECT_EQ(ItemsOf(*form_), before);
    EXPECT_NE(form_->Handle(), nullptr);
}

TEST_F(SettingsFormTest, ItemsKeepAsciiOrderAndLetterCaseTwinsMerge)
{
    Settings().ClearFolders();
    for (const auto& [path, checked] : Items{{L"C:\\b", true}, {L"C:\\Data", true}, {L"c:\\DATA", false},
             {L"C:\\[x", true}, {L"C:\\A", true}})
        Settings().SetFolderScan(path, checked);
    Open();
    EXPECT_EQ(ItemsOf(*form_),
        (Items{{L"C:\\[x", true}, {L"C:\\A", true}, {L"C:\\b", true}, {L"C:\\Data", false}}))
        << "one item for both spellings, with the flag of the later one";

    Click(form_->SaveButton);
    Settle();
    Items table = FolderTable();
    std::sort(table.begin(), table.end());
    EXPECT_EQ(table, (Items{{L"C:\\A", true}, {L"C:\\Data", false}, {L"C:\\[x", true}, {L"C:\\b", true}}));
}

// Five digits with leading zeros, so that the texts' order is the numbers' order.
std::wstring Padded(int aNumber)
{
    const std::wstring digits = std::to_wstring(aNumber);
    return std::wstring(5 - digits.size(), L'0') + digits;
}

TEST_F(SettingsFormTest, LargeFolderTableListsInOrderWithLetterCaseTwinsMerged)
{
    // Scrambled order, two spellings of the parent, and a later twin of every fifth path with
    // the other flag: the list must come out in number order, first spellings, last flags.
    constexpr int kCount = 30'000;
    constexpr int kStride = 7'919;
    Settings().ClearFolders();
    Items expected(kCount);
    for (int step = 0; step < kCount; ++step) {
        const int number = step * kStride % kCount;
        const std::wstring path = (number % 2 == 0 ? L"c:\\data\\" : L"C:\\Data\\") + Padded(number);
        expected[number] = {path, number % 3 == 0};
        Settings().SetFolderScan(path, number % 3 == 0);
    }
    for (int number = 0; number < kCount; number += 5) {
        expected[number].second = !expected[number].second;
        Settings().SetFolderScan(L"C:\\DATA\\" + Padded(number), expected[number].second);
    }
    ASSERT_EQ(Settings().FolderCount(), kCount + kCount / 5);
    Open();
    const Items items = ItemsOf(*form_);
    ASSERT_EQ(items.size(), expected.size());
    EXPECT_EQ(items, expected);

    ClearFullScan();
    form_->AddFolder(L"C:\\DATA\\00001");
    EXPECT_EQ(SelectedItem(*form_), 1);
    EXPECT_EQ(ItemsOf(*form_)[1], (std::pair<std::wstring, bool>{L"C:\\Data\\00001", true})) << "checked again, not added";
    EXPECT_EQ(TCheckList(form_->FoldersControl).Count(), kCount);
}

struct CloseCase {
    const char* name;
    // Runs on the driver thread with the dialog's window.
    void (*close)(HWND aDialog);
    bool accepted;
};

void PostKey(HWND aDialog, WPARAM aKey)
{
    HWND list = FindWindowExW(aDialog, nullptr, WC_LISTVIEWW, nullptr);
    PostMessageW(list, WM_KEYDOWN, aKey, 0);
}

TEST_F(SettingsFormTest, EditModalIsTrueOnlyForSave)
{
    const CloseCase cases[] = {
        {"Save options", [](HWND aDialog) { PostMessageW(ChildWithText(aDialog, L"Save options"), BM_CLICK, 0, 0); },
            true},
        {"Enter", [](HWND aDialog) { PostKey(aDialog, VK_RETURN); }, true},
        {"Cancel", [](HWND aDialog) { PostMessageW(ChildWithText(aDialog, L"Cancel"), BM_CLICK, 0, 0); }, false},
        {"Escape", [](HWND aDialog) { PostKey(aDialog, VK_ESCAPE); }, false},
        {"close box", [](HWND aDialog) { PostMessageW(aDialog, WM_CLOSE, 0, 0); }, false},
    };
    for (const CloseCase& c : cases) {
        ResetSettings();
        bool result = false;
        RunWithDriver([&result] { result = TSettingsFrm::EditModal(); },
            [&c] {
                HWND dialog = WaitForForm(L"Quorvane options");
                if (dialog == nullptr)
                    return;
                PostMessageW(ChildWithText(dialog, L"Perform full scan"), BM_CLICK, 0, 0);
                c.close(dialog);
            });
        EXPECT_EQ(result, c.accepted) << c.name;
        EXPECT_EQ(Settings().FullScan(), !c.accepted) << c.name;
        EXPECT_EQ(FindWindowW(L"QuorvaneForm", L"Quorvane options"), nullptr) << c.name << ": dialog destroyed";
    }
}

} // namespace
