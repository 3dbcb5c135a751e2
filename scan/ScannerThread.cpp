// The scan worker's thread, its step loop, the scanner queue and the progress record.
#include "scan/ScannerThread.h"

#include "detect/Cancel.h"
#include "platform/Error.h"
#include "scan/ObjectInspector.h"
#include "scan/ScanQueue.h"
#include "scan/Scanner.h"
#include "signature/Signature.h"

#include <oleauto.h>

#include <algorithm>
#include <new>
#include <utility>

namespace {

constexpr DWORD kPausePollMs = 100;
// How long StopThread waits for the thread's end before it cancels the thread's I/O again.
constexpr DWORD kCancelRetryMs = 20;

// The local date-time as days since 30 December 1899, the time of day as the fraction.
double LocalDateTimeNow() noexcept
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    double days = 0;
    SystemTimeToVariantTime(&now, &days);
    return days;
}

} // namespace

TScannerThread::TScannerThread(SignatureLoader aLoadSignature, const QueueBuilder& aBuildQueue,
    std::function<bool()> aHeuristicMode)
    : FLoadSignature(std::move(aLoadSignature)), FHeuristicMode(std::move(aHeuristicMode))
{
    FThread.Reset(CreateThread(nullptr, 0, &TScannerThread::ThreadProc, this, CREATE_SUSPENDED, nullptr));
    if (!FThread)
        ThrowLastError(L"Thread creation error: ");
    try {
        FScannerQueue = aBuildQueue(this);
        FScanInfo.StartTime = LocalDateTimeNow();
        FScanInfo.StartTickCount = GetTickCount64();
    } catch (...) {
        StopThread();
        throw;
    }
}

TScannerThread::TScannerThread(PlainSignatureLoader aLoadSignature, const QueueBuilder& aBuildQueue,
    std::function<bool()> aHeuristicMode)
    : TScannerThread(
          [load = std::move(aLoadSignature)](const std::function<bool()>&) { return load ? load() : nullptr; },
          aBuildQueue, std::move(aHeuristicMode))
{
}

TScannerThread::TScannerThread(const TScanOptions& aOptions)
    : TScannerThread(
          [database = aOptions.Database](const std::function<bool()>& aCancelled) {
              return std::make_unique<TSignature>(database, aCancelled);
          },
          [aOptions](TScanHost* aHost) { return BuildScanQueue(aHost, aOptions); },
          [heuristic = aOptions.Heuristic] { return heuristic; })
{
    StartThread();
}

TScannerThread::~TScannerThread()
{
    StopThread();
    for (std::unique_ptr<TScanner>& scanner : FScannerQueue)
        scanner.reset();
    FScannerQueue.clear();
    FInspector.reset();
    FSignature.reset();
}

void TScannerThread::StartThread() noexcept
{
    ResumeThread(FThread.Get());
}

void TScannerThread::StopThread() noexcept
{
    FTerminated = true;
    if (!FThread)
        return;
    // A thread never started finds the request at once and skips the body.
    ResumeThread(FThread.Get());
    // A cancel that comes before the blocking call starts is lost: repeat it until the end.
    while (WaitForSingleObject(FThread.Get(), kCancelRetryMs) == WAIT_TIMEOUT)
        CancelSynchronousIo(FThread.Get());
}

void TScannerThread::PauseWork() noexcept
{
    FPaused = true;
}

void TScannerThread::ResumeWork() noexcept
{
    FPaused = false;
}

bool TScannerThread::Paused() const noexcept
{
    return FPaused;
}

TScanInfo TScannerThread::GetScanInfo() const
{
    CriticalSectionLock lock(FLock);
    return FScanInfo;
}

bool TScannerThread::Finished() const noexcept
{
    return FFinished;
}

std::optional<std::wstring> TScannerThread::FailureMessage() const
{
    if (!FFinished)
        return std::nullopt;
    return FFailure;
}

bool TScannerThread::LoadFailed() const noexcept
{
    return FFinished && !FLoaded && FFailure.has_value();
}

void TScannerThread::SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress)
{
    CriticalSectionLock lock(FLock);
    FScanInfo.ObjectName = aObjectName;
    FScanInfo.Progress = aProgress;
    ++FScanInfo.TotalCount;
}

void TScannerThread::ShowObject(const std::wstring& aObjectName)
{
    CriticalSectionLock lock(FLock);
    FScanInfo.ObjectName = aObjectName;
}

std::vector<TFinding> TScannerThread::FindingsFrom(std::size_t aFirst) const
{
    CriticalSectionLock lock(FLock);
    if (aFirst >= FFindings.size())
        return {};
    return {FFindings.begin() + static_cast<std::ptrdiff_t>(aFirst), FFindings.end()};
}

void TScannerThread::AddFinding(TFinding aFinding)
{
    CriticalSectionLock lock(FLock);
    const TFindingKind kind = aFinding.Kind;
    // The list first: a failure to store leaves the counters as they were.
    FFindings.push_back(std::move(aFinding));
    if (kind == TFindingKind::Infected)
        ++FScanInfo.InfectedCount;
    else if (kind == TFindingKind::Possible)
        ++FScanInfo.PossibleCount;
}

void TScannerThread::CountSkipped(TSkipped aKind)
{
    CriticalSectionLock lock(FLock);
    FSkipped.Count(aKind);
}

TSkippedCounts TScannerThread::Skipped() const
{
    CriticalSectionLock lock(FLock);
    return FSkipped;
}

bool TScannerThread::Terminated() const noexcept
{
    return FTerminated;
}

DWORD WINAPI TScannerThread::ThreadProc(void* aWorker)
{
    static_cast<TScannerThread*>(aWorker)->Run();
    return 0;
}

void TScannerThread::Run() noexcept
{
    if (!Terminated()) {
        try {
            Execute();
        } catch (const detect::Cancelled&) {
            // Only a stop cancels the load: nothing failed.
        } catch (const AppError& error) {
            KeepFailure(error.Message());
        } catch (const std::bad_alloc&) {
            KeepOutOfMemory();
        } catch (...) {
            KeepFailure(L"Unexpected error");
        }
    }
    FFinished = true;
}

void TScannerThread::KeepFailure(std::wstring_view aMessage) noexcept
{
    try {
        FFailure = std::wstring(aMessage);
    } catch (...) {
        FFailure = std::wstring();
    }
}

void TScannerThread::KeepOutOfMemory() noexcept
{
    // Making the system's text needs memory too; without it the message stays empty.
    try {
        KeepFailure(SystemErrorText(ERROR_NOT_ENOUGH_MEMORY));
    } catch (...) {
        KeepFailure({});
    }
}

void TScannerThread::Execute()
{
    LoadSignature();
    NextScanner();
    while (!Terminated()) {
        if (FPaused)
            Sleep(kPausePollMs);
        else if (!FScanner->ScanNext())
            NextScanner();
    }
}

void TScannerThread::LoadSignature()
{
    ShowActivity(kLoadingSignatures);
    // However the load ends, the name no longer says it is going on.
    const struct LoadEnd {
        TScannerThread& worker;
        ~LoadEnd() { worker.ClearActivity(); }
    } loadEnd{*this};
    try {
        FSignature = FLoadSignature([this] { return Terminated(); });
    } catch (const AppError&) {
        // A read cut short by a stop's cancel is part of the stop, not a failure to report.
        if (Terminated())
            throw detect::Cancelled();
        throw;
    }
    if (FSignature && FSignature->Database() != nullptr)
        FInspector = std::make_unique<TObjectInspector>(*FSignature->Database(), FHeuristicMode && FHeuristicMode());
    FLoaded = true;
}

void TScannerThread::ShowActivity(const wchar_t* aObjectName)
{
    CriticalSectionLock lock(FLock);
    FScanInfo.ObjectName = aObjectName;
}

void TScannerThread::ClearActivity() noexcept
{
    CriticalSectionLock lock(FLock);
    FScanInfo.ObjectName.clear();
}

void TScannerThread::NextScanner()
{
    if (FScannerQueue.empty()) {
        FScanner = nullptr;
    } else if (FScanner == nullptr) {
        FScanner = FScannerQueue.front().get();
    } else {
        const auto current = std::find_if(FScannerQueue.begin(), FScannerQueue.end(),
            [this](const std::unique_ptr<TScanner>& aScanner) { return aScanner.get() == FScanner; });
        if (current == FScannerQueue.end())
            throw AppError(L"Unexpected condition");
        const auto following = std::next(current);
        FScanner = following != FScannerQueue.end() ? following->get() : nullptr;
    }
    if (FScanner == nullptr)
        FTerminated = true;
}
