// The file scanner driven step by step over real trees, with the roots taken from the settings.
#include "tests/scan/Tree.h"
#include "platform/Error.h"
#include "platform/TextCompare.h"
#include "scan/FileScanner.h"
#include "scan/FoldersToScan.h"
#include "settings/Settings.h"
#include "tests/support/QuickScan.h"
#include "tests/support/RecordingWorker.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

namespace {

const std::wstring kBuilding = L"building file list...";

// Keeps the content of every block it inspects.
class ReadingFileScanner : public TFileScanner {
public:
    using TFileScanner::TFileScanner;
    void ScanBuffer(const std::uint8_t* aBuffer, DWORD aCount) override
    {
        content.append(reinterpret_cast<const char*>(aBuffer), aCount);
    }
    std::string content;
};

class FileScannerTest : public testing::Test {
protected:
    void SetUp() override { Settings().SetArchiveScan(false); }

    // Runs the scanner to its end and returns the names it reported after "building file list...".
    std::vector<std::wstring> ScanAll(TFileScanner& aScanner)
    {
        while (aScanner.ScanNext()) {
        }
        const std::vector<Report> reports = worker.Reports();
        EXPECT_FALSE(reports.empty());
        EXPECT_EQ(reports.front(), (Report{kBuilding, 0}));
        std::vector<std::wstring> names;
        for (std::size_t i = 1; i < reports.size(); ++i)
            names.push_back(reports[i].name);
        return names;
    }

    TempFolder temp;
    const std::wstring root = temp.Str();
    RecordingWorker worker;
};

}

TEST_F(FileScannerTest, ReadsTheListInLocaleOrderWithPercentages)
{
    MakeTree(root, {L"sub\\", L"README"});
    WriteTestFile(root + L"\\sub.dll", "1");
    WriteTestFile(root + L"\\sub\\a.exe", "2");
    WriteTestFile(root + L"\\subz.exe", "3");
    std::vector<std::wstring> sorted = {root + L"\\sub.dll", root + L"\\sub\\a.exe", root + L"\\subz.exe"};
    std::sort(sorted.begin(), sorted.end(), [](const auto& aA, const auto& aB) { return CompareForUser(aA, aB) < 0; });
    // Wine's walk yields sub\a.exe first; the order must still come from the user's locale.
    ASSERT_NE(sorted.front(), root + L"\\sub\\a.exe");
    UseQuickScanSettings({root});

    ReadingFileScanner scanner(&worker);
    ScanAll(scanner);
    const std::vector<Report> expected = {{kBuilding, 0}, {sorted[0], 33}, {sorted[1], 66}, {sorted[2], 100}};
    EXPECT_EQ(worker.Reports(), expected);
    std::string content;
    for (const std::wstring& path : sorted)
        content += path == root + L"\\sub.dll" ? "1" : path == root + L"\\subz.exe" ? "3" : "2";
    EXPECT_EQ(scanner.content, content);
}

TEST_F(FileScannerTest, RootsOverlapInAnyOrderAndSpelling)
{
    MakeTree(root, {L"Data\\", L"Data\\Sub\\", L"Data\\Sub\\x.dll", L"Data\\b.exe", L"Zeta\\", L"Zeta\\z.exe",
                    L"Alpha\\", L"Alpha\\a.exe"});
    std::wstring lower = root;
    CharLowerBuffW(lower.data(), static_cast<DWORD>(lower.size()));
    struct Case {
        std::vector<std::wstring> roots;
        std::vector<std::wstring> files;
    };
    const Case cases[] = {
        {{root + L"\\Data", lower + L"\\data\\sub"}, {root + L"\\Data\\b.exe", root + L"\\Data\\Sub\\x.dll"}},
        {{lower + L"\\data\\sub", root + L"\\Data"}, {root + L"\\Data\\b.exe", lower + L"\\data\\sub\\x.dll"}},
        {{root + L"\\Zeta", root + L"\\Alpha"}, {root + L"\\Alpha\\a.exe", root + L"\\Zeta\\z.exe"}},
        {{root + L"\\Data\\"}, {root + L"\\Data\\b.exe", root + L"\\Data\\Sub\\x.dll"}},
        {{root + L"\\Data", root + L"\\Data\\Sub", root + L"\\Data"}, {root + L"\\Data\\b.exe", root + L"\\Data\\Sub\\x.dll"}},
    };
    for (const Case& c : cases) {
        UseQuickScanSettings(c.roots);
        RecordingWorker caseWorker;
        TFileScanner scanner(&caseWorker);
        while (scanner.ScanNext()) {
        }
        std::vector<std::wstring> names;
        for (const Report& report : caseWorker.Reports())
            names.push_back(report.name);
        std::vector<std::wstring> expected = c.files;
        expected.insert(expected.begin(), kBuilding);
        EXPECT_EQ(names, expected) << c.roots.front();
    }
}

TEST_F(FileScannerTest, RootThatFailsItsCheckEndsTheScanBeforeAnyRead)
{
    WriteTestFile(root + L"\\a.exe", "a");
    const std::wstring missing = root + L"\\Missing";
    const std::wstring invalid = root + L"\\a|b";
    const std::wstring cases[][2] = {
        {missing, L"Folder not found: " + missing},
        {invalid, L"Invalid folder: " + invalid},
    };
    for (const auto& c : cases) {
        UseQuickScanSettings({root, c[0]});
        RecordingWorker caseWorker;
        ReadingFileScanner scanner(&caseWorker);
        try {
            scanner.ScanNext();
            ADD_FAILURE() << "no error for " << testing::PrintToString(c[0]);
        } catch (const AppError& error) {
            EXPECT_EQ(error.Message(), c[1]);
        }
        EXPECT_EQ(caseWorker.Reports(), std::vector<Report>{(Report{kBuilding, 0})});
        EXPECT_TRUE(scanner.content.empty());
    }
}

TEST_F(FileScannerTest, WorkerKeepsTheRootFailureForTheUser)
{
    const std::wstring missing = root + L"\\Missing";
    UseQuickScanSettings({missing});
    RecordingWorker running([](TScannerThread* aWorker) {
        std::vector<std::unique_ptr<TScanner>> queue;
        queue.push_back(std::make_unique<TFileScanner>(aWorker));
        return queue;
    });
    running.StartThread();
    for (int i = 0; i < 2000 && !running.Finished(); ++i)
        Sleep(10);
    ASSERT_TRUE(running.Finished());
    EXPECT_EQ(running.FailureMessage(), L"Folder not found: " + missing);
}

TEST_F(FileScannerTest, ArchivesAreChosenWhenTheScannerIsCreated)
{
    MakeTree(root, {L"a.zip", L"README"});
    UseQuickScanSettings({root});
    for (const bool archives : {true, false}) {
        Settings().SetArchiveScan(archives);
        RecordingWorker caseWorker;
        TFileScanner scanner(&caseWorker);
        Settings().SetArchiveScan(!archives);
        EXPECT_EQ(scanner.ScanNext(), archives);
        EXPECT_EQ(caseWorker.Reports().size(), archives ? 2u : 1u);
        EXPECT_FALSE(scanner.ScanNext());
    }
}

TEST_F(FileScannerTest, ReleaseDuringAWholeTreeWalkReturnsQuickly)
{
    const std::wstring tree = L"Z:\\usr";
    if (GetFileAttributesW(tree.c_str()) == INVALID_FILE_ATTRIBUTES)
        GTEST_SKIP() << "needs Wine's drive Z:";
    UseQuickScanSettings({tree});
    auto running = std::make_unique<RecordingWorker>([](TScannerThread* aWorker) {
        std::vector<std::unique_ptr<TScanner>> queue;
        queue.push_back(std::make_unique<TFileScanner>(aWorker));
        return queue;
    });
    running->StartThread();
    for (int i = 0; i < 500 && running->Reports().empty(); ++i)
        Sleep(10);
    ASSERT_EQ(running->Reports().size(), 1u);
    Sleep(200);
    ASSERT_FALSE(running->Finished()) << "the walk ended too soon to show anything";
    const auto start = std::chrono::steady_clock::now();
    running.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

TEST(GetFoldersToScan, FixedDrivesForAFullScanOtherwiseCheckedFoldersInTableOrder)
{
    TSettings& settings = Settings();
    settings.ClearFolders();
    settings.SetFolderScan(L"D:\\Zeta", true);
    settings.SetFolderScan(L"C:\\Off", false);
    settings.SetFolderScan(L"C:\\Alpha", true);
    settings.SetFullScan(true);
    EXPECT_EQ(GetFoldersToScan(), GetFixedDrives());
    settings.SetFullScan(false);
    EXPECT_EQ(GetFoldersToScan(), (std::vector<std::wstring>{L"D:\\Zeta", L"C:\\Alpha"}));
}
