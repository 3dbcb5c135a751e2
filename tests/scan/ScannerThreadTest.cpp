// The worker's step loop with test scanners: order, reports, pause, release and failures.
#include "tests/scan/ScanTestSupport.h"

#include "platform/Error.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <stdexcept>

namespace {

using Clock = std::chrono::steady_clock;
using Queue = std::vector<std::unique_ptr<TScanner>>;
using Worker = RecordingWorker;

// A list scanner over aCount named objects; optionally throws at one step or sleeps each step.
class FakeScanner : public TScanner {
public:
    struct Options {
        std::wstring name;
        int count = 0;
        int throwAtStep = 0;
        // What the failing step throws: 0 AppError, 1 std::runtime_error, 2 std::bad_alloc.
        int throwKind = 0;
        DWORD stepMs = 0;
    };
    FakeScanner(TScannerThread* aWorker, Options aOptions, std::atomic<int>* aSteps)
        : TScanner(aWorker), options_(std::move(aOptions)), steps_(aSteps)
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
        Sleep(options_.stepMs);
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

// Builds fake scanners, each counting its steps in its own slot of steps.
class WorkerTest : public testing::Test {
protected:
    RecordingWorker::QueueBuilder Scanners(std::vector<FakeScanner::Options> aOptions)
    {
        return [this, aOptions](TScannerThread* aWorker) {
            Queue queue;
            for (std::size_t i = 0; i < aOptions.size(); ++i)
                queue.push_back(std::make_unique<FakeScanner>(aWorker, aOptions[i], &steps[i]));
            return queue;
        };
    }

    static bool WaitFinished(const TScannerThread& aWorker)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (!aWorker.Finished() && Clock::now() < deadline)
            Sleep(10);
        return aWorker.Finished();
    }

    std::atomic<int> steps[3] = {};
};

std::vector<Report> Expected(const std::wstring& aName, int aCount)
{
    std::vector<Report> reports;
    for (int i = 0; i < aCount; ++i)
        reports.push_back({aName, static_cast<std::uint8_t>((i + 1) * 100 / aCount)});
    return reports;
}

TEST_F(WorkerTest, RunsScannersInQueueOrderAndCountsEveryReport)
{
    Worker worker(Scanners({{L"a", 3}, {L"empty", 0}, {L"b", 200}}), true);
    ASSERT_TRUE(WaitFinished(worker));
    std::vector<Report> expected = Expected(L"a", 3);
    const std::vector<Report> second = Expected(L"b", 200);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(worker.Reports(), expected);
    EXPECT_EQ(second.front().progress, 0);
    EXPECT_EQ(second[1].progress, 1);
    const TScanInfo info = worker.GetScanInfo();
    EXPECT_EQ(info.ObjectName, L"b");
    EXPECT_EQ(info.Progress, 100);
    EXPECT_EQ(info.TotalCount, 203);
    EXPECT_EQ(info.InfectedCount, 0);
    EXPECT_EQ(info.PossibleCount, 0);
    EXPECT_GT(info.StartTime, 0);
    EXPECT_EQ(steps[1], 1);
    EXPECT_EQ(worker.FailureMessage(), std::nullopt);
}

TEST_F(WorkerTest, NothingToScanFinishesWithoutReport)
{
    Worker worker(Worker::NoScanners, true);
    ASSERT_TRUE(WaitFinished(worker));
    const TScanInfo info = worker.GetScanInfo();
    EXPECT_EQ(info.ObjectName, L"");
    EXPECT_EQ(info.TotalCount, 0);
    EXPECT_EQ(worker.FailureMessage(), std::nullopt);
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
        Worker worker(Scanners({{L"a", 5, 2, c.throwKind}, {L"b", 1}}), true);
        ASSERT_TRUE(WaitFinished(worker));
        EXPECT_EQ(worker.FailureMessage(), c.message);
        EXPECT_EQ(worker.Reports(), (std::vector<Report>{{L"a", 20}}));
        EXPECT_EQ(worker.GetScanInfo().ObjectName, L"a");
        EXPECT_EQ(steps[1], 0);
    }
}

TEST_F(WorkerTest, PauseBeforeFirstStepBuildsNoListUntilResumed)
{
    Worker worker(Scanners({{L"a", 2}}), false);
    worker.PauseWork();
    worker.StartThread();
    Sleep(350);
    EXPECT_TRUE(worker.Paused());
    EXPECT_EQ(steps[0], 0);
    EXPECT_FALSE(worker.Finished());
    worker.ResumeWork();
    ASSERT_TRUE(WaitFinished(worker));
    EXPECT_EQ(worker.Reports(), Expected(L"a", 2));
}

TEST_F(WorkerTest, ReleaseReturnsPromptlyWhenPausedOrFinished)
{
    auto worker = std::make_unique<Worker>(Scanners({{L"a", 100000, 0, 0, 5}}), true);
    while (steps[0] < 3)
        Sleep(5);
    worker->PauseWork();
    Sleep(50);
    const int stepsWhenPaused = steps[0];
    Sleep(250);
    EXPECT_EQ(steps[0], stepsWhenPaused);
    auto start = Clock::now();
    worker.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2));

    worker = std::make_unique<Worker>(Scanners({{L"b", 1}}), true);
    ASSERT_TRUE(WaitFinished(*worker));
    start = Clock::now();
    worker.reset();
    EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(WorkerTest, FailedSignatureLoadLeavesConstructorAndRunsNoStep)
{
    bool queueBuilt = false;
    const auto failingLoad = []() -> std::unique_ptr<TSignature> { throw AppError(L"Signature loading failed: x"); };
    const auto builder = [&](TScannerThread*) {
        queueBuilt = true;
        return Queue{};
    };
    try {
        Worker worker(builder, true, failingLoad);
        FAIL() << "no exception";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), L"Signature loading failed: x");
    }
    EXPECT_FALSE(queueBuilt);
}

} // namespace
