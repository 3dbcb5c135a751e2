// The file scanner driven step by step over real trees, with the roots taken from the settings.
#include "tests/scan/ScanTestSupport.h"
#include "tests/scan/Tree.h"
#include "platform/Error.h"
#include "platform/Handle.h"
#include "platform/TextCompare.h"
#include "scan/FileScanner.h"
#include "scan/ScanOptions.h"
#include "settings/Settings.h"
#include "tests/support/QuickScan.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

namespace {

const std::wstring kBuilding = L"building file list...";

std::vector<std::unique_ptr<TScanner>> FileScannerOnly(TScanHost* aHost)
{
    std::vector<std::unique_ptr<TScanner>> queue;
    queue.push_back(std::make_unique<TFileScanner>(aHost, SettingsScanOptions()));
    return queue;
}

// Relayed to a real worker, it holds the walk at its aHeldPoll-th termination poll until the
// worker's termination request arrives, and signals the test that it holds.
class HoldingHost : public RecordingHost {
public:
    explicit HoldingHost(int aHeldPoll) : heldPoll_(aHeldPoll) {}

    bool Terminated() const noexcept override
    {
        if (++polls_ == heldPoll_) {
            SetEvent(holding_.Get());
            while (!RecordingHost::Terminated())
                Sleep(1);
        }
        return RecordingHost::Terminated();
    }

    bool WaitHolding() const { return WaitForSingleObject(holding_.Get(), 60000) == WAIT_OBJECT_0; }
    int Polls() const noexcept { return polls_; }

private:
    const int heldPoll_;
    mutable std::atomic<int> polls_{0};
    const KernelHandle holding_{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
};

class FileScannerTest : public testing::Test {
protected:
    void SetUp() override { Settings().SetArchiveScan(false); }

    // Runs the scanner to its end and returns the names it reported after "building file list...".
    std::vector<std::wstring> ScanAll(TFileScanner& aScanner)
    {
        while (aScanner.ScanNext()) {
        }
        const std::vector<Report> reports = host.Reports();
        EXPECT_FALSE(reports.empty());
        EXPECT_EQ(reports.front(), (Report{kBuilding, 0}));
        std::vector<std::wstring> names;
        for (std::size_t i = 1; i < reports.size(); ++i)
            names.push_back(reports[i].name);
        return names;
    }

    TempFolder temp;
    const std::wstring root = temp.Str();
    RecordingHost host;
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

    ReadingFileScanner scanner(&host);
    ScanAll(scanner);
    const std::vector<Report> expected = {{kBuilding, 0}, {sorted[0], 33}, {sorted[1], 66}, {sorted[2], 100}};
    EXPECT_EQ(host.Reports(), expected);
    std::string content;
    for (const std::wstring& path : sorted)
        content += path == root + L"\\sub.dll" ? "1" : path == root + L"\\subz.exe" ? "3" : "2";
    EXPECT_EQ(scanner.content, content);
}

// Named files are read whatever their extension, beside the walked ones and in the same order;
// AllFiles lifts the extension list inside folders.
TEST_F(FileScannerTest, NamedFilesAndAllFilesChooseWhatIsRead)
{
    MakeTree(root, {L"Tree\\", L"Other\\"});
    WriteTestFile(root + L"\\Tree\\a.exe", "a");
    WriteTestFile(root + L"\\Tree\\b.txt", "b");
    WriteTestFile(root + L"\\Other\\c.dat", "c");
    struct Case {
        std::vector<std::wstring> folders;
        std::vector<std::wstring> files;
        bool allFiles;
        std::vector<std::wstring> read;
        std::string content;
        std::int64_t vanished;
    };
    const std::wstring tree = root + L"\\Tree";
    const std::wstring named = root + L"\\Other\\c.dat";
    const std::wstring missing = root + L"\\Other\\gone.bin";
    const Case cases[] = {
        {{tree}, {}, false, {tree + L"\\a.exe"}, "a", 0},
        {{tree}, {}, true, {tree + L"\\a.exe", tree + L"\\b.txt"}, "ab", 0},
        {{}, {named}, false, {named}, "c", 0},
        {{tree}, {named, tree + L"\\b.txt"}, false, {named, tree + L"\\a.exe", tree + L"\\b.txt"}, "cab", 0},
        {{}, {missing, named}, false, {named, missing}, "c", 1},
    };
    for (const Case& c : cases) {
        TScanOptions options;
        options.Folders = c.folders;
        options.Files = c.files;
        options.AllFiles = c.allFiles;
        RecordingHost caseHost;
        ReadingFileScanner scanner(&caseHost, options);
        while (scanner.ScanNext()) {
        }
        std::vector<std::wstring> names;
        for (const Report& report : caseHost.Reports())
            names.push_back(report.name);
        std::vector<std::wstring> expected = c.read;
        expected.insert(expected.begin(), kBuilding);
        EXPECT_EQ(names, expected) << c.content;
        EXPECT_EQ(scanner.content, c.content);
        EXPECT_EQ(caseHost.Skipped().VanishedFiles, c.vanished) << c.content;
        EXPECT_TRUE(caseHost.Findings().empty()) << c.content;
    }
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
        RecordingHost caseHost;
        TFileScanner scanner(&caseHost, SettingsScanOptions());
        while (scanner.ScanNext()) {
        }
        std::vector<std::wstring> names;
        for (const Report& report : caseHost.Reports())
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
        RecordingHost caseHost;
        ReadingFileScanner scanner(&caseHost);
        try {
            scanner.ScanNext();
            ADD_FAILURE() << "no error for " << testing::PrintToString(c[0]);
        } catch (const AppError& error) {
            EXPECT_EQ(error.Message(), c[1]);
        }
        EXPECT_EQ(caseHost.Reports(), std::vector<Report>{(Report{kBuilding, 0})});
        EXPECT_TRUE(scanner.content.empty());
    }
}

TEST_F(FileScannerTest, WorkerKeepsTheRootFailureForTheUser)
{
    const std::wstring missing = root + L"\\Missing";
    UseQuickScanSettings({missing});
    TScannerThread running(NoSignature, FileScannerOnly);
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
        RecordingHost caseHost;
        TFileScanner scanner(&caseHost, SettingsScanOptions());
        Settings().SetArchiveScan(!archives);
        EXPECT_EQ(scanner.ScanNext(), archives);
        EXPECT_EQ(caseHost.Reports().size(), archives ? 2u : 1u);
        EXPECT_FALSE(scanner.ScanNext());
    }
}

// The release of a real worker while its walk is held at one entry: the walk stops at that
// entry, so nothing is read and no further entry is visited.
TEST_F(FileScannerTest, ReleaseDuringTheWalkStopsItAtTheEntryItHolds)
{
    MakeTree(root, {L"a\\", L"a\\1.exe", L"a\\2.exe", L"a\\3.exe", L"b\\", L"b\\4.exe", L"b\\5.exe", L"c.exe"});
    UseQuickScanSettings({root});
    constexpr int kHeldPoll = 4;
    HoldingHost holder(kHeldPoll);
    auto running = std::make_unique<TScannerThread>(NoSignature, holder.Relay(FileScannerOnly));
    running->StartThread();
    ASSERT_TRUE(holder.WaitHolding());
    running.reset();
    EXPECT_EQ(holder.Polls(), kHeldPoll);
    EXPECT_EQ(holder.Reports(), std::vector<Report>{(Report{kBuilding, 0})});
}

TEST(ScanOptionsFromSettings, FixedDrivesForAFullScanOtherwiseCheckedFoldersInTableOrder)
{
    TSettings& settings = Settings();
    settings.ClearFolders();
    settings.SetFolderScan(L"D:\\Zeta", true);
    settings.SetFolderScan(L"C:\\Off", false);
    settings.SetFolderScan(L"C:\\Alpha", true);
    settings.SetFullScan(true);
    settings.SetMemoryScan(false);
    settings.SetRegistryScan(false);
    settings.SetArchiveScan(true);
    settings.SetHeuristicMode(false);
    TScanOptions options = ScanOptionsFromSettings(settings);
    EXPECT_EQ(options.Folders, GetFixedDrives());
    EXPECT_TRUE(options.Memory && options.Registry) << "a full scan runs every scanner";
    EXPECT_TRUE(options.Archives);
    EXPECT_FALSE(options.Heuristic);
    EXPECT_TRUE(options.Files.empty());
    EXPECT_FALSE(options.AllFiles);
    settings.SetFullScan(false);
    options = ScanOptionsFromSettings(settings);
    EXPECT_EQ(options.Folders, (std::vector<std::wstring>{L"D:\\Zeta", L"C:\\Alpha"}));
    EXPECT_FALSE(options.Memory || options.Registry);
}
