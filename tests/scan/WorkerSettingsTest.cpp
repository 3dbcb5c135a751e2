// The worker built as a scan is started: signature.dat beside the program, the queue from the settings.
#include "tests/scan/ScanTestSupport.h"

#include "platform/Error.h"
#include "scan/ScanQueue.h"
#include "scan/ScannerThread.h"
#include "settings/Settings.h"
#include "tests/support/QuickScan.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

bool WaitFinished(const TScannerThread& aWorker, std::chrono::seconds aLimit = std::chrono::seconds(60))
{
    const auto deadline = Clock::now() + aLimit;
    while (!aWorker.Finished() && Clock::now() < deadline)
        Sleep(10);
    return aWorker.Finished();
}

// The public worker's parts, its scanners reporting through aHost: signature.dat beside the
// program and the queue from the settings.
std::unique_ptr<TScannerThread> StartedFromSettings(RecordingHost& aHost)
{
    auto worker = std::make_unique<TScannerThread>([] { return std::make_unique<TSignature>(); },
        aHost.Relay([](TScanHost* aRelay) { return BuildScanQueue(aRelay, SettingsScanOptions()); }));
    worker->StartThread();
    return worker;
}

// The report names in order with runs of one name collapsed: "memory...", "registry", ...
std::vector<std::wstring> NameRuns(const std::vector<Report>& aReports)
{
    std::vector<std::wstring> runs;
    for (const Report& report : aReports) {
        if (runs.empty() || runs.back() != report.name)
            runs.push_back(report.name);
    }
    return runs;
}

class WorkerFromSettingsTest : public testing::Test {
protected:
    static void SetUpTestSuite() { WriteSignatureFile(); }
    static void TearDownTestSuite() { RemoveSignatureFile(); }

    void SetUp() override
    {
        UseQuickScanSettings({});
        WriteTestFile(file, "QVMARK-file");
    }

    TempFolder folder;
    const std::wstring file = folder.Str() + L"\\setup.exe";
};

TEST_F(WorkerFromSettingsTest, QueueFollowsSettingsInFixedOrder)
{
    struct Case {
        bool memory;
        bool registry;
        bool folderChecked;
        std::vector<std::wstring> runs;
    };
    const Case cases[] = {
        {true, true, true, {L"memory...", L"registry", L"building file list...", file}},
        {false, true, false, {L"registry"}},
        {true, false, false, {L"memory..."}},
        {false, false, true, {L"building file list...", file}},
        {false, false, false, {}},
    };
    for (const Case& c : cases) {
        TSettings& settings = Settings();
        settings.SetMemoryScan(c.memory);
        settings.SetRegistryScan(c.registry);
        settings.SetFolderScan(folder.Str(), c.folderChecked);
        RecordingHost host;
        const auto worker = StartedFromSettings(host);
        ASSERT_TRUE(WaitFinished(*worker));
        EXPECT_EQ(NameRuns(host.Reports()), c.runs) << c.memory << c.registry << c.folderChecked;
        EXPECT_EQ(worker->GetScanInfo().TotalCount, static_cast<std::int64_t>(host.Reports().size()));
        EXPECT_EQ(worker->FailureMessage(), std::nullopt);
    }
}

TEST_F(WorkerFromSettingsTest, MissingScanFolderEndsWorkerWithItsMessage)
{
    Settings().SetFolderScan(folder.Str() + L"\\gone", true);
    Settings().SetFolderScan(folder.Str(), true);
    RecordingHost host;
    const auto worker = StartedFromSettings(host);
    ASSERT_TRUE(WaitFinished(*worker));
    EXPECT_EQ(host.Reports(), (std::vector<Report>{{L"building file list...", 0}}));
    ASSERT_TRUE(worker->FailureMessage().has_value());
    EXPECT_NE(worker->FailureMessage()->find(L"gone"), std::wstring::npos) << testing::PrintToString(*worker->FailureMessage());
}

// A full scan walks every fixed drive (under Wine also Z:, the whole Linux tree): a release
// during that walk must not wait for its end.
TEST_F(WorkerFromSettingsTest, FullScanRunsEveryScannerAndReleaseStopsTheDriveWalk)
{
    Settings().SetFullScan(true);
    RecordingHost host;
    auto worker = StartedFromSettings(host);
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    while (worker->GetScanInfo().ObjectName != L"building file list..." && Clock::now() < deadline)
        Sleep(10);
    std::vector<std::wstring> runs = NameRuns(host.Reports());
    runs.resize(std::min<std::size_t>(runs.size(), 3));
    EXPECT_EQ(runs, (std::vector<std::wstring>{L"memory...", L"registry", L"building file list..."}));
    const auto start = Clock::now();
    worker.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
}

TEST_F(WorkerFromSettingsTest, PublicWorkerWithNothingToScanFinishesWithoutReport)
{
    TScannerThread worker{TScanOptions{}};
    ASSERT_TRUE(WaitFinished(worker));
    const TScanInfo info = worker.GetScanInfo();
    EXPECT_EQ(info.ObjectName, L"");
    EXPECT_EQ(info.TotalCount, 0);
    EXPECT_GT(info.StartTime, 0);
    EXPECT_EQ(worker.FailureMessage(), std::nullopt);
}

TEST_F(WorkerFromSettingsTest, MissingSignatureEndsTheWorkerAsAFailedLoad)
{
    const std::wstring aside = SignaturePath() + L".aside";
    ASSERT_TRUE(MoveFileExW(SignaturePath().c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING));
    TScannerThread worker{TScanOptions{}};
    const bool finished = WaitFinished(worker);
    ASSERT_TRUE(MoveFileExW(aside.c_str(), SignaturePath().c_str(), MOVEFILE_REPLACE_EXISTING));
    ASSERT_TRUE(finished);
    EXPECT_TRUE(worker.LoadFailed());
    EXPECT_EQ(worker.FailureMessage(), L"Signature loading failed: File not found");
    EXPECT_EQ(worker.GetScanInfo().TotalCount, 0);
}

} // namespace
