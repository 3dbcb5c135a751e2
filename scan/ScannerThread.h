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
    using SignatureLoader = std::function<std::unique_ptr<TSignature>()>;
    using QueueBuilder = std::function<std::vector<std::unique_ptr<TScanner>>(TScanHost*)>;

    // Create: loads aOptions.Database (signature.dat from the executable's folder when empty),
    // builds the queue from aOptions (BuildScanQueue), notes the start time and lets the thread
    // run. Reads no settings. Throws AppError ("Signature loading failed: ...", "Thread creation
    // error: %s").
    explicit TScannerThread(const TScanOptions& aOptions);
    // Builds a worker from the given parts, its scanners reporting to it, and leaves its thread
    // waiting for StartThread. Throws AppError ("Thread creation error: %s") and whatever the two
    // functions throw.
    // aHeuristicMode, asked once the signature is loaded, says whether possible threats count.
    TScannerThread(const SignatureLoader& aLoadSignature, const QueueBuilder& aBuildQueue,
        const std::function<bool()>& aHeuristicMode = {});
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
    void NextScanner();

    mutable CriticalSection FLock;
    std::vector<std::unique_ptr<TScanner>> FScannerQueue;
    std::atomic<bool> FPaused{false};
    TScanInfo FScanInfo;
    std::vector<TFinding> FFindings;
    TSkippedCounts FSkipped;
    TScanner* FScanner = nullptr;
    std::unique_ptr<TSignature> FSignature;
    // Matches FSignature's compiled database; released before it.
    std::unique_ptr<TObjectInspector> FInspector;
    // Touched by the worker's thread only.
    TVerdictCache FVerdicts;

    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::optional<std::wstring> FFailure;
    KernelHandle FThread;
};
