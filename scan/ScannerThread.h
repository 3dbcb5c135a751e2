// The scan worker: one OS thread driving the queue of scanners, with pause, stop and progress.
#pragma once

#include "platform/CriticalSection.h"
#include "platform/Handle.h"
#include "scan/Finding.h"
#include "scan/ScanHost.h"
#include "scan/ScanInfo.h"
#include "scan/ScanOptions.h"
#include "scan/VerdictCache.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class TScanner;
class TObjectInspector;
class TSignature;

class TScannerThread final : public TScanHost {
public:
    // Loads the signature database on the worker's thread; asks aCancelled as it goes and gives
    // up (detect::Cancelled) once it answers true.
    using SignatureLoader = std::function<std::unique_ptr<TSignature>(const std::function<bool()>& aCancelled)>;
    // A loader that cannot be cancelled.
    using PlainSignatureLoader = std::function<std::unique_ptr<TSignature>()>;
    using QueueBuilder = std::function<std::vector<std::unique_ptr<TScanner>>(TScanHost*)>;

    // What the object name reads while the signature database loads; it counts as no report.
    static constexpr wchar_t kLoadingSignatures[] = L"loading signatures...";

    // Create: builds the queue from aOptions (BuildScanQueue), notes the start time and lets the
    // thread run; the thread's first step loads aOptions.Database (signature.dat from the
    // executable's folder when empty). Reads no settings. Throws AppError ("Thread creation
    // error: %s"); a failed load ends the worker with LoadFailed().
    explicit TScannerThread(const TScanOptions& aOptions);
    // Builds a worker from the given parts, its scanners reporting to it, and leaves its thread
    // waiting for StartThread. The thread loads the signature database before any scanner runs.
    // Throws AppError ("Thread creation error: %s") and whatever aBuildQueue throws.
    // aHeuristicMode, asked on the worker's thread once the signature is loaded, says whether
    // possible threats count. The three functions are kept and called while the thread runs.
    TScannerThread(SignatureLoader aLoadSignature, const QueueBuilder& aBuildQueue,
        std::function<bool()> aHeuristicMode = {});
    TScannerThread(PlainSignatureLoader aLoadSignature, const QueueBuilder& aBuildQueue,
        std::function<bool()> aHeuristicMode = {});
    // Destroy: requests termination, waits for the thread, releases scanners, queue, lock, signature.
    ~TScannerThread() override;
    TScannerThread(const TScannerThread&) = delete;
    TScannerThread& operator=(const TScannerThread&) = delete;

    // Lets the thread run the body; once is enough, a second call does nothing.
    void StartThread() noexcept;
    void PauseWork() noexcept;
    void ResumeWork() noexcept;
    bool Paused() const noexcept override;
    // A copy of the progress record taken under the lock.
    TScanInfo GetScanInfo() const;
    // Set once the thread body has returned, normally or through an error.
    bool Finished() const noexcept;
    // After Finished(): the message of the error that ended the worker, if one did.
    std::optional<std::wstring> FailureMessage() const;
    // After Finished(): whether that error came from loading the signature database, so that
    // no scanner ran. A load given up for a stop is no failure.
    bool LoadFailed() const noexcept;

    // The findings recorded from index aFirst on, copied under the lock: a reader keeps what it
    // has already taken and asks only for the rest.
    std::vector<TFinding> FindingsFrom(std::size_t aFirst) const;
    // The counts of what was passed over without a finding, copied under the lock.
    TSkippedCounts Skipped() const;

    // The scanners' host, called on the worker thread. A report counts the object; a threat
    // also raises its counter.
    void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress) override;
    void ShowObject(const std::wstring& aObjectName) override;
    void AddFinding(TFinding aFinding) override;
    void CountSkipped(TSkipped aKind) override;
    bool Terminated() const noexcept override;
    TObjectInspector* Inspector() noexcept override { return FInspector.get(); }
    TVerdictCache* Verdicts() noexcept override { return &FVerdicts; }
    // Requests termination and waits for the thread's end, cancelling the thread's pending
    // synchronous I/O until it has ended, so a read that blocks (a dead network share) cannot hold
    // it. After it the progress record and the findings are final. Calling it again does nothing more.
    void StopThread() noexcept;

private:
    static DWORD WINAPI ThreadProc(void* aWorker);
    // The thread base: runs Execute unless termination was requested, keeps the message of
    // whatever escapes it, then sets the finished flag.
    void Run() noexcept;
    // Keeps the message for FailureMessage; an empty one when even that copy fails.
    void KeepFailure(std::wstring_view aMessage) noexcept;
    // Keeps the system's text for lack of memory.
    void KeepOutOfMemory() noexcept;
    void Execute();
    // The thread's first step: loads the signature database and prepares the inspection.
    void LoadSignature();
    // Shows aObjectName in the progress record without counting a report; ClearActivity empties it.
    void ShowActivity(const wchar_t* aObjectName);
    void ClearActivity() noexcept;
    void NextScanner();

    mutable CriticalSection FLock;
    std::vector<std::unique_ptr<TScanner>> FScannerQueue;
    std::atomic<bool> FPaused{false};
    TScanInfo FScanInfo;
    std::vector<TFinding> FFindings;
    TSkippedCounts FSkipped;
    TScanner* FScanner = nullptr;
    SignatureLoader FLoadSignature;
    std::function<bool()> FHeuristicMode;
    std::unique_ptr<TSignature> FSignature;
    // Matches FSignature's compiled database; released before it.
    std::unique_ptr<TObjectInspector> FInspector;
    // Touched by the worker's thread only.
    TVerdictCache FVerdicts;

    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::optional<std::wstring> FFailure;
    // Set on the worker's thread once the signature database is loaded.
    bool FLoaded = false;
    KernelHandle FThread;
};
