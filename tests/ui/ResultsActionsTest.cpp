// The results window's Quarantine and Delete... on real EICAR files: what a selection acts on,
// the Action column, the question before deleting, and a close that waits for the action.
#include "platform/Handle.h"
#include "quarantine/Quarantine.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "toolkit/Toolkit.h"
#include "ui/ResultsForm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::wstring WriteEicar(const TempFolder& aFolder, const wchar_t* aName)
{
    const fs::path path = aFolder.Path() / aName;
    std::ofstream(path, std::ios::binary) << EicarText();
    return path.wstring();
}

std::wstring ActionCell(HWND aList, int aRow)
{
    wchar_t buffer[512] = {};
    ListView_GetItemText(aList, aRow, 3, buffer, 512);
    return buffer;
}

void Select(HWND aList, std::initializer_list<int> aRows)
{
    ListView_SetItemState(aList, -1, 0, LVIS_SELECTED);
    for (int row : aRows)
        ListView_SetItemState(aList, row, LVIS_SELECTED, LVIS_SELECTED);
    Settle();
}

// The store's items of files from aFolder, removed so that the user's store keeps nothing of the tests.
std::vector<std::wstring> TakeItemsFrom(const TempFolder& aFolder)
{
    std::vector<std::wstring> paths;
    for (const quarantine::Item& item : quarantine::ListItems()) {
        const std::wstring path(item.Header.Path.begin(), item.Header.Path.end());
        if (path.starts_with(aFolder.Str())) {
            paths.push_back(path);
            quarantine::DeleteItem(item.File);
        }
    }
    return paths;
}

class ResultsActionsTest : public testing::Test {
protected:
    void Open(std::vector<TFinding> aFindings)
    {
        form_ = std::make_unique<TResultsFrm>(nullptr, std::move(aFindings));
        form_->Show();
        Settle();
    }

    // Clicks aButton and pumps until the action it started has ended.
    void ClickAndWait(HWND aButton)
    {
        Click(aButton);
        Settle();
        ASSERT_TRUE(PumpUntil([this] { return !form_->Acting(); }, 30s));
        Settle();
    }

    HWND List() const { return form_->List; }

    TempFolder folder_;
    std::unique_ptr<TResultsFrm> form_;
};

// An archive's members, a file listed twice, a file in use and an unscanned object, in one selection.
TEST_F(ResultsActionsTest, QuarantineActsOncePerFileOnDiskAndEveryRowOfItShowsTheOutcome)
{
    const std::wstring loose = WriteEicar(folder_, L"loose.com");
    const std::wstring archive = WriteEicar(folder_, L"pack.zip");
    const std::wstring locked = WriteEicar(folder_, L"locked.com");
    const std::wstring unread = folder_.Str() + L"\\unread.sys";
    Open({
        {loose, L"Eicar-Test-Signature", TFindingKind::Infected, 0},
        {archive + L"->a\\x.com", L"Eicar-Test-Signature", TFindingKind::Infected, 0},
        {archive + L"->b.com", L"Heur.Eicar", TFindingKind::Possible, 0},
        {locked, L"Eicar-Test-Signature", TFindingKind::Infected, 0},
        {loose, L"Heur.Eicar", TFindingKind::Possible, 0},
        {unread, L"Access is denied.", TFindingKind::NotScanned, 5},
    });
    EXPECT_FALSE(Enabled(form_->QuarantineButton)) << "nothing selected";
    EXPECT_FALSE(Enabled(form_->DeleteButton));
    Select(List(), {5});
    EXPECT_FALSE(Enabled(form_->QuarantineButton)) << "only a row that was not scanned";
    EXPECT_FALSE(Enabled(form_->DeleteButton));
    Select(List(), {0, 1, 3, 5});
    EXPECT_TRUE(Enabled(form_->QuarantineButton));
    EXPECT_TRUE(Enabled(form_->DeleteButton));

    const FileHandle inUse(CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_NE(inUse.Get(), INVALID_HANDLE_VALUE);
    SetFocus(form_->QuarantineButton);
    ClickAndWait(form_->QuarantineButton);
    EXPECT_EQ(GetFocus(), List()) << "the focus left the button as it was disabled";

    EXPECT_FALSE(fs::exists(loose));
    EXPECT_FALSE(fs::exists(archive));
    EXPECT_TRUE(fs::exists(locked)) << "in use: left untouched";
    std::vector<std::wstring> cells;
    for (int row = 0; row < 6; ++row)
        cells.push_back(ActionCell(List(), row));
    EXPECT_THAT(cells, testing::ElementsAre(L"Quarantined", L"Quarantined", L"Quarantined",
                           testing::StartsWith(L"Failed: "), L"Quarantined", L""));
    EXPECT_GT(cells[3].size(), std::wstring(L"Failed: ").size()) << "with the system's message";
    EXPECT_THAT(TakeItemsFrom(folder_), testing::UnorderedElementsAre(loose, archive)) << "one item per file";
    EXPECT_EQ(form_->ActionOf(4), L"Quarantined");
    EXPECT_EQ(Text(form_->Handle()), L"Scan results") << "the progress is gone at the end";

    Select(List(), {0, 1, 2, 4});
    EXPECT_FALSE(Enabled(form_->DeleteButton)) << "their files are gone";
    Select(List(), {0, 3});
    EXPECT_TRUE(Enabled(form_->DeleteButton)) << "the one in use can be tried again";
}

TEST_F(ResultsActionsTest, DeleteAsksFirstNamingHowManyFilesAndNoKeepsThem)
{
    const std::wstring first = WriteEicar(folder_, L"first.com");
    const std::wstring second = WriteEicar(folder_, L"second.com");
    Open({
        {first, L"Eicar-Test-Signature", TFindingKind::Infected, 0},
        {second + L"->inner.com", L"Eicar-Test-Signature", TFindingKind::Infected, 0},
        {second + L"->other.com", L"Eicar-Test-Signature", TFindingKind::Infected, 0},
    });
    struct Answer {
        std::initializer_list<int> rows;
        int button;
        std::wstring question;
    };
    for (const Answer& answer : {Answer{{0}, IDNO, L"Delete 1 file permanently?"},
             Answer{{0, 1, 2}, IDYES, L"Delete 2 files permanently?"}}) {
        Select(List(), answer.rows);
        std::optional<MessageBoxInfo> box;
        RunWithDriver([this] { ClickAndWait(form_->DeleteButton); },
            [&box, &answer] {
                box = WaitForOwnMessageBox(10s);
                if (box)
                    PostMessageW(GetDlgItem(box->window, answer.button), BM_CLICK, 0, 0);
            });
        ASSERT_TRUE(box.has_value());
        EXPECT_EQ(box->text, answer.question);
        EXPECT_EQ(box->buttonCount, 2) << "Yes and No";
        if (answer.button == IDNO) {
            EXPECT_TRUE(fs::exists(first));
            EXPECT_EQ(ActionCell(List(), 0), L"");
        }
    }
    EXPECT_FALSE(fs::exists(first));
    EXPECT_FALSE(fs::exists(second));
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(ActionCell(List(), row), L"Deleted") << row;
    EXPECT_THAT(TakeItemsFrom(folder_), testing::IsEmpty()) << "deleting stores nothing";
}

TEST_F(ResultsActionsTest, AClosedWindowFinishesTheRunningActionFirst)
{
    const std::wstring file = WriteEicar(folder_, L"closed.com");
    Open({{file, L"Eicar-Test-Signature", TFindingKind::Infected, 0}});
    Select(List(), {0});
    Click(form_->QuarantineButton);
    PostMessageW(form_->Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([this] { return form_->Handle() == nullptr; }, 30s));
    EXPECT_EQ(form_->ActionOf(0), L"Quarantined");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_THAT(TakeItemsFrom(folder_), testing::ElementsAre(file));
}

} // namespace
