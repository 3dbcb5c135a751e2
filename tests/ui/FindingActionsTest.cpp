// The results window's actions without the window: the files a selection stands for, the rows an
// outcome reaches, and the texts.
#include "ui/FindingActions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Rows = std::vector<std::size_t>;

const std::vector<TFinding> kFindings{
    {L"C:\\a\\tool.exe", L"Trojan.A", TFindingKind::Infected, 0},
    {L"C:\\b\\pack.zip->x.exe", L"Trojan.X", TFindingKind::Infected, 0},
    {L"C:\\b\\pack.zip->inner.zip->y.com", L"Heur.Y", TFindingKind::Possible, 0},
    {L"C:\\locked.sys", L"Access is denied.", TFindingKind::NotScanned, 5},
    {L"c:\\A\\TOOL.EXE", L"Worm.B", TFindingKind::Possible, 0},
    {L"C:\\b\\pack.zip->broken.rar", L"Access is denied.", TFindingKind::NotScanned, 5},
    {L"C:\\c\\odd->name.exe", L"Trojan.Z", TFindingKind::Infected, 0},
};

TEST(FindingActionsTest, FileOnDiskIsTheTextBeforeTheFirstArrow)
{
    EXPECT_EQ(FileOnDisk(L"C:\\a\\tool.exe"), L"C:\\a\\tool.exe");
    EXPECT_EQ(FileOnDisk(L"C:\\b\\pack.zip->inner.zip->y.com"), L"C:\\b\\pack.zip");
    EXPECT_EQ(FileOnDisk(L"C:\\x-y>z.exe"), L"C:\\x-y>z.exe");
}

TEST(FindingActionsTest, ASelectionStandsForEachFileOnDiskOnceTheUnscannedLeftOut)
{
    struct Case {
        Rows selected;
        std::vector<std::wstring> paths;
        std::vector<std::wstring> threats;
    };
    const Case cases[] = {
        {{}, {}, {}},
        {{3}, {}, {}},
        {{3, 5}, {}, {}},
        {{0}, {L"C:\\a\\tool.exe"}, {L"Trojan.A"}},
        {{0, 4}, {L"C:\\a\\tool.exe"}, {L"Trojan.A"}},
        {{4, 0}, {L"c:\\A\\TOOL.EXE"}, {L"Worm.B"}},
        {{1, 2, 5}, {L"C:\\b\\pack.zip"}, {L"Trojan.X"}},
        {{2, 3, 0, 1}, {L"C:\\b\\pack.zip", L"C:\\a\\tool.exe"}, {L"Heur.Y", L"Trojan.A"}},
        {{6, 99}, {L"C:\\c\\odd"}, {L"Trojan.Z"}},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring> paths;
        std::vector<std::wstring> threats;
        for (const TActionTarget& target : ActionTargets(kFindings, c.selected)) {
            paths.push_back(target.Path);
            threats.push_back(target.Threat);
        }
        EXPECT_EQ(paths, c.paths) << testing::PrintToString(c.selected);
        EXPECT_EQ(threats, c.threats) << testing::PrintToString(c.selected);
    }
    EXPECT_EQ(ActionTargets(kFindings, {2}).front().Kind, TFindingKind::Possible);
}

TEST(FindingActionsTest, FilesQuarantinedOrDeletedAlreadyAreNotActedOnAgainFailedOnesAre)
{
    const std::vector<std::wstring> actions{L"Quarantined", L"Deleted", L"Deleted", L"", L"Failed: Access is denied."};
    std::vector<std::wstring> paths;
    for (const TActionTarget& target : ActionTargets(kFindings, {0, 1, 2, 4, 6}, actions))
        paths.push_back(target.Path);
    EXPECT_EQ(paths, (std::vector<std::wstring>{L"c:\\A\\TOOL.EXE", L"C:\\c\\odd"}));
}

TEST(FindingActionsTest, AnOutcomeReachesEveryRowOfItsFile)
{
    EXPECT_EQ(RowsOfFile(kFindings, L"C:\\a\\tool.exe"), (Rows{0, 4}));
    EXPECT_EQ(RowsOfFile(kFindings, L"C:\\b\\pack.zip"), (Rows{1, 2, 5}));
    EXPECT_EQ(RowsOfFile(kFindings, L"C:\\b\\pack"), Rows{});
}

TEST(FindingActionsTest, TextsOfTheOutcomesTheQuestionAndTheProgress)
{
    EXPECT_EQ(ActionText(TFindingAction::Quarantine, {true, {}}), L"Quarantined");
    EXPECT_EQ(ActionText(TFindingAction::Delete, {true, {}}), L"Deleted");
    const quarantine::Outcome failed{false, L"The process cannot access the file because it is being used by another process."};
    EXPECT_EQ(ActionText(TFindingAction::Quarantine, failed), L"Failed: " + failed.Message);
    EXPECT_EQ(ActionText(TFindingAction::Delete, failed), L"Failed: " + failed.Message);

    EXPECT_EQ(DeleteQuestion(1), L"Delete 1 file permanently?");
    EXPECT_EQ(DeleteQuestion(2), L"Delete 2 files permanently?");
    EXPECT_EQ(DeleteQuestion(11), L"Delete 11 files permanently?");

    EXPECT_EQ(ProgressText(TFindingAction::Quarantine, 3, 10), L"Quarantining 3 of 10...");
    EXPECT_EQ(ProgressText(TFindingAction::Delete, 1, 1), L"Deleting 1 of 1...");
}

} // namespace
