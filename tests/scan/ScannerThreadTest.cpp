// The worker's step loop with test scanners: order, reports, pause, release and failures.
#include "tests/scan/ScanTestSupport.h"

#include "detect/Cancel.h"
#include "platform/Error.h"
#include "platform/Handle.h"
#include "scan/ScannerThread.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <new>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;
using Queue = std::vector<std::unique_ptr<TScanner>>;

// A list scanner over aCount named objects; optionally throws at one step, or holds one step
// until the test lets it go on.
class FakeScanner : public TScanner {
public:
    struct Options {
        std::wstring name;
        int count = 0;
        int throwAtStep = 0;
        // What the failing step throws: 0 AppError, 1 std::runtime_error, 2 std::bad_alloc.
        int throwKind = 0;
        // The step that sets reached and waits for proceed before it does its work.
        int holdAtStep = 0;
        HANDLE reached = nullptr;
        HANDLE proceed = nullptr;
    };
    FakeScanner(TScanHost* aHost, Options aOptions, std::atomic<int>* aSteps)
        : TScanner(aHost), options_(std::move(aOptions)), steps_(aSteps)
    {
    }

    bool ScanNext() override
    {
        const int step = ++*steps_;
        if (step == options_.throwAtStep && options_.throwKind == 1)
            throw std::runtime_error("failed");
        if (step == options_.throwAtStep && options_.throwKind == 2)
            throw std::bad_alloc();
        if (step == options_.throwAtStep)
            throw AppError(L"Step failed");
        if (step == options_.holdAtStep) {
            SetEvent(options_.reached);
            WaitForSingleObject(options_.proceed, 60000);
        }
        current_ = current_ == -1 ? (options_.count > 0 ? 0 : -1) : (current_ + 1 < options_.count ? current_ + 1 : -1);
        if (current_ == -1)
            return false;
        FScannerThread->SetScanInfo(options_.name, Percentage(current_, static_cast<std::size_t>(options_.count)));
        return true;
    }

private:
    Options options_;
    std::atomic<int>* steps_;
    std::int32_t current_ = -1;
};

// Real workers over fake scanners, each counting its steps in its own slot of steps; the
// scanners report through host, which passes every report on to the worker.
class WorkerTest : public testing::Test {
protected:
    TScannerThread::QueueBuilder Scanners(std::vector<FakeScanner::Options> aOptions)
    {
        return Scanners(std::move(aOptions), host);
    }

    TScannerThread::QueueBuilder Scanners(std::vector<FakeScanner::Options> aOptions, RecordingHost& aRecorder)
    {
        return aRecorder.Relay([this, aOptions](TScanHost* aHost) {
            Queue queue;
            for (std::size_t i = 0; i < aOptions.size(); ++i)
                queue.push_back(std::make_unique<FakeScanner>(aHost, aOptions[i], &steps[i]));
            return queue;
        });
    }

    std::unique_ptr<TScannerThread> Started(std::vector<FakeScanner::Options> aOptions)
    {
        auto worker = std::make_unique<TScannerThread>(NoSignature, Scanners(std::move(aOptions)));
        worker->StartThread();
        return worker;
    }

    static bool WaitFinished(const TScannerThread& aWorker)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (!aWorker.Finished() && Clock::now() < deadline)
            Sleep(10);
        return aWorker.Finished();
    }

    std::atomic<int> steps[3] = {};
    RecordingHost host;
};

TEST_F(WorkerTest, RunsScannersInQueueOrderAndCountsEveryReport)
{
    const auto worker = Started({{L"a", 3}, {L"empty", 0}, {L"b", 200}});
    ASSERT_TRUE(WaitFinished(*worker));
    const std::vector<Report> reports = host.Reports();
    ASSERT_EQ(reports.size(), 203u);
    EXPECT_EQ(std::vector<Report>(reports.begin(), reports.begin() + 3),
        (std::vector<Report>{{L"a", 33}, {L"a", 66}, {L"a", 100}}));
    // b's reports at chosen positions: the first rounds down to 0.
    const struct {
        std::size_t position;
        std::uint8_t progress;
    } bReports[] = {{0, 0}, {1, 1}, {2, 1}, {3, 2}, {99, 50}, {100, 50}, {198, 99}, {199, 100}};
    for (const auto& b : bReports)
        EXPECT_EQ(reports[3 + b.position], (Report{L"b", b.progress})) << b.position;
    const TScanInfo info = worker->GetScanInfo();
    EXPECT_EQ(info.ObjectName, L"b");
    EXPECT_EQ(info.Progress, 100);
    EXPECT_EQ(info.TotalCount, 203);
    EXPECT_EQ(info.InfectedCount, 0);
    EXPECT_EQ(info.PossibleCount, 0);
    EXPECT_GT(info.StartTime, 0);
    EXPECT_EQ(steps[1], 1);
    EXPECT_EQ(worker->FailureMessage(), std::nullopt);
}

TEST_F(WorkerTest, NothingToScanFinishesWithoutReport)
{
    const auto worker = Started({});
    ASSERT_TRUE(WaitFinished(*worker));
    const TScanInfo info = worker->GetScanInfo();
    EXPECT_EQ(info.ObjectName, L"");
    EXPECT_EQ(info.TotalCount, 0);
    EXPECT_EQ(worker->FailureMessage(), std::nullopt);
}

TEST_F(WorkerTest, FailingStepEndsWorkerAndKeepsItsMessage)
{
    struct Case {
        int throwKind;
        std::wstring message;
    };
    const Case cases[] = {
        {0, L"Step failed"}, {1, L"Unexpected error"}, {2, SystemErrorText(ERROR_NOT_ENOUGH_MEMORY)}};
    for (const Case& c : cases) {
        steps[0] = steps[1] = 0;
        RecordingHost caseHost;
        TScannerThread worker(NoSignature, Scanners({{L"a", 5, 2, c.throwKind}, {L"b", 1}}, caseHost));
        worker.StartThread();
        ASSERT_TRUE(WaitFinished(worker));
        EXPECT_EQ(worker.FailureMessage(), c.message);
        EXPECT_FALSE(worker.LoadFailed());
        EXPECT_EQ(caseHost.Reports(), (std::vector<Report>{{L"a", 20}}));
        EXPECT_EQ(worker.GetScanInfo().ObjectName, L"a");
        EXPECT_EQ(steps[1], 0);
    }
}

TEST_F(WorkerTest, PauseBeforeFirstStepBuildsNoListUntilResumed)
{
    TScannerThread worker(NoSignature, Scanners({{L"a", 2}}));
    worker.PauseWork();
    worker.StartThread();
    Sleep(350);
    EXPECT_TRUE(worker.Paused());
    EXPECT_EQ(steps[0], 0);
    EXPECT_FALSE(worker.Finished());
    worker.ResumeWork();
    ASSERT_TRUE(WaitFinished(worker));
    EXPECT_EQ(host.Reports(), (std::vector<Report>{{L"a", 50}, {L"a", 100}}));
}

// The pause comes while the third step is held: that step ends, no other begins, and the
// paused worker is released. How long a release takes is measured by the benchmark.
TEST_F(WorkerTest, PauseLetsTheStepInFlightEndAndReleaseEndsAPausedOrFinishedWorker)
{
    const KernelHandle reached(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    const KernelHandle proceed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    FakeScanner::Options held{L"a", 100000};
    held.holdAtStep = 3;
    held.reached = reached.Get();
    held.proceed = proceed.Get();
    auto worker = Started({held});
    ASSERT_EQ(WaitForSingleObject(reached.Get(), 20000), WAIT_OBJECT_0);
    worker->PauseWork();
    SetEvent(proceed.Get());
    // Room for a worker that ignored the pause to take further steps.
    Sleep(250);
    EXPECT_EQ(steps[0], 3);
    EXPECT_TRUE(worker->Paused());
    EXPECT_FALSE(worker->Finished());
    worker.reset();
    EXPECT_EQ(steps[0], 3);
    EXPECT_EQ(host.Reports().size(), 3u);

    worker = Started({{L"b", 1}});
    ASSERT_TRUE(WaitFinished(*worker));
    worker.reset();
}

// Pause takes effect inside a file: the read position does not move until Resume, and Stop
// ends a paused read.
TEST_F(WorkerTest, PauseHoldsTheReadOfALargeFileBetweenBlocks)
{
    class HeldReader : public TScanner {
    public:
        HeldReader(TScanHost* aHost, std::wstring aPath, HANDLE aReached, HANDLE aProceed)
            : TScanner(aHost), path_(std::move(aPath)), reached_(aReached), proceed_(aProceed)
        {
        }
        bool ScanNext() override
        {
            if (done_)
                return false;
            done_ = true;
            ScanFile(path_);
            return true;
        }
        void ScanBuffer(const std::uint8_t*, DWORD aCount) override
        {
            if ((read += aCount) == aCount) {
                SetEvent(reached_);
                WaitForSingleObject(proceed_, 60000);
            }
        }
        std::atomic<std::uint64_t> read{0};

    private:
        const std::wstring path_;
        const HANDLE reached_;
        const HANDLE proceed_;
        bool done_ = false;
    };
    TempFolder folder;
    const std::wstring path = folder.Str() + L"\\large.bin";
    constexpr std::size_t kSize = 4 * 1024 * 1024;
    WriteTestFile(path, std::string(kSize, 'x'));
    for (const bool stop : {false, true}) {
        const KernelHandle reached(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        const KernelHandle proceed(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        HeldReader* reader = nullptr;
        RecordingHost recorder;
        auto worker = std::make_unique<TScannerThread>(NoSignature, recorder.Relay([&](TScanHost* aHost) {
            Queue queue;
            auto held = std::make_unique<HeldReader>(aHost, path, reached.Get(), proceed.Get());
            reader = held.get();
            queue.push_back(std::move(held));
            return queue;
        }));
        worker->StartThread();
        ASSERT_EQ(WaitForSingleObject(reached.Get(), 60000), WAIT_OBJECT_0);
        worker->PauseWork();
        SetEvent(proceed.Get());
        Sleep(300);
        EXPECT_EQ(reader->read.load(), 8192u) << "paused";
        EXPECT_FALSE(worker->Finished());
        if (stop) {
            const auto start = Clock::now();
            worker->StopThread();
            EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
            EXPECT_EQ(reader->read.load(), 2 * 8192u) << "Stop reads at most the block in hand";
        } else {
            worker->ResumeWork();
            ASSERT_TRUE(WaitFinished(*worker));
            EXPECT_EQ(reader->read.load(), kSize);
        }
    }
}

TEST_F(WorkerTest, FailedSignatureLoadEndsTheWorkerBeforeAnyStep)
{
    const auto failingLoad = []() -> std::unique_ptr<TSignature> { throw AppError(L"Signature loading failed: x"); };
    TScannerThread worker(failingLoad, Scanners({{L"a", 2}}));
    worker.StartThread();
    ASSERT_TRUE(WaitFinished(worker));
    EXPECT_TRUE(worker.LoadFailed());
    EXPECT_EQ(worker.FailureMessage(), L"Signature loading failed: x");
    EXPECT_EQ(steps[0], 0);
    EXPECT_EQ(worker.GetScanInfo().TotalCount, 0);
}

// The loader runs on the worker's thread, shows itself without counting, and a stop reaches it
// through the cancel callback: the load gives up, and that is no failure.
TEST_F(WorkerTest, LoadingIsShownUncountedAndAStopCancelsIt)
{
    const KernelHandle loading(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<DWORD> loaderThread{0};
    TScannerThread worker(
        [&](const std::function<bool()>& aCancelled) -> std::unique_ptr<TSignature> {
            loaderThread = GetCurrentThreadId();
            SetEvent(loading.Get());
            while (!aCancelled())
                Sleep(1);
            throw detect::Cancelled();
        },
        Scanners({{L"a", 2}}));
    worker.StartThread();
    ASSERT_EQ(WaitForSingleObject(loading.Get(), 20000), WAIT_OBJECT_0);
    EXPECT_NE(loaderThread.load(), GetCurrentThreadId());
    const TScanInfo info = worker.GetScanInfo();
    EXPECT_EQ(info.ObjectName, L"loading signatures...");
    EXPECT_EQ(info.TotalCount, 0);

    worker.StopThread();
    EXPECT_TRUE(worker.Finished());
    EXPECT_EQ(worker.GetScanInfo().ObjectName, L"");
    EXPECT_FALSE(worker.LoadFailed());
    EXPECT_EQ(worker.FailureMessage(), std::nullopt);
    EXPECT_EQ(steps[0], 0);
}

// The real signature file, large enough to take a while: a stop during its load ends it there.
TEST_F(WorkerTest, StopWhileALargeDatabaseLoadsGivesUpTheLoad)
{
    const TempFolder folder;
    const std::wstring path = folder.Str() + L"\\large.dat";
    WriteStamped(path, LargeDatabasePayload());
    std::atomic<bool> polled{false};
    std::atomic<bool> cancelled{false};
    TScannerThread worker(
        [&](const std::function<bool()>& aCancelled) {
            try {
                return std::make_unique<TSignature>(path, [&] {
                    polled = true;
                    return aCancelled();
                });
            } catch (const detect::Cancelled&) {
                cancelled = true;
                throw;
            }
        },
        Scanners({{L"a", 2}}));
    worker.StartThread();
    const auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!polled && Clock::now() < deadline)
        Sleep(1);
    ASSERT_TRUE(polled);
    const auto start = Clock::now();
    worker.StopThread();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));
    EXPECT_TRUE(cancelled) << "the load was still going on";
    EXPECT_EQ(worker.FailureMessage(), std::nullopt);
    EXPECT_EQ(steps[0], 0);
}

// A scanner whose one read waits on a pipe that no one writes to: without the release's cancel it
// would wait forever.
class BlockedReader : public TScanner {
public:
    BlockedReader(TScanHost* aHost, std::wstring aPipe, HANDLE aReading, std::atomic<DWORD>& aCode)
        : TScanner(aHost), pipe_(std::move(aPipe)), reading_(aReading), code_(aCode)
    {
    }

    bool ScanNext() override
    {
        try {
            SharedReadFile pipe(pipe_);
            SetEvent(reading_);
            char byte = 0;
            pipe.Read(&byte, 1);
        } catch (const AppError& error) {
            code_ = error.Code();
        }
        return false;
    }

private:
    std::wstring pipe_;
    HANDLE reading_;
    std::atomic<DWORD>& code_;
};

TEST(WorkerReleaseTest, CancelsAReadThatWouldBlockForever)
{
    const std::wstring pipe = L"\\\\.\\pipe\\qv-blocked-read-" + std::to_wstring(GetCurrentProcessId());
    const FileHandle writer(CreateNamedPipeW(pipe.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 4096,
        4096, 0, nullptr));
    ASSERT_TRUE(writer.IsValid());
    const KernelHandle reading(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    std::atomic<DWORD> code{0};
    auto worker = std::make_unique<TScannerThread>(NoSignature, [&](TScanHost* aHost) {
        Queue queue;
        queue.push_back(std::make_unique<BlockedReader>(aHost, pipe, reading.Get(), code));
        return queue;
    });
    worker->StartThread();
    ASSERT_EQ(WaitForSingleObject(reading.Get(), 60000), WAIT_OBJECT_0);
    // The read may not have started yet: the release cancels until the thread has ended.
    worker.reset();
    EXPECT_EQ(code.load(), static_cast<DWORD>(ERROR_OPERATION_ABORTED));
}

} // namespace
