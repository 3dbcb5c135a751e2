// The scan worker: one OS thread driving the queue of scanners, with pause, stop and progress.
#pragma once

#include "platform/CriticalSection.h"
#include "platform/Handle.h"
#include "scan/Finding.h"
#include "scan/ScanInfo.h"

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
class TSignature;

class TScannerThread {
public:
    // Create: loads signature.dat, builds the queue from the settings, notes the start time
    // and lets the thread run. Throws AppError ("Signature loading failed: ...",
    // "Thread creation error: %s", or what the settings throw).
    TScannerThread();
    // Destroy: requests termination, waits for the thread, releases scanners, queue, lock, signature.
    virtual ~TScannerThread();
    TScannerThread(const TScannerThread&) = delete;
    TScannerThread& operator=(const TScannerThread&) = delete;

    void PauseWork() noexcept;
    void ResumeWork() noexcept;
    bool Paused() const noexcept;
    // A copy of the progress record taken under the lock.
    TScanInfo GetScanInfo() const;
    // Set once the thread body has returned, normally or through an error.
    bool Finished() const noexcept;
    // After Finished(): the message of the error that ended the worker, if one did.
    std::optional<std::wstring> FailureMessage() const;

    // The findings recorded from index aFirst on, copied under the lock: a reader keeps what it
    // has already taken and asks only for the rest.
    std::vector<TFinding> FindingsFrom(std::size_t aFirst) const;

    // Called by the scanners on the worker thread: a report before each object.
    virtual void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress);
    // Called on the worker thread: keeps a finding; a threat also raises its counter.
    virtual void AddFinding(TFinding aFinding);
    // Termination requested: long walks and reads poll it and give up.
    bool Terminated() const noexcept;
    // Requests termination and waits for the thread's end, after which the progress record and
    // the findings are final; a derived worker calls it in its destructor before its own members
    // go. Calling it again does nothing more.
    void StopThread() noexcept;

protected:
    using SignatureLoader = std::function<std::unique_ptr<TSignature>()>;
    using QueueBuilder = std::function<std::vector<std::unique_ptr<TScanner>>(TScannerThread*)>;

    // Builds a worker from the given parts and leaves its thread waiting for StartThread (the
    // public constructor starts it; a derived worker starts it at the end of its own constructor).
    // Throws AppError ("Thread creation error: %s") and whatever the two functions throw.
    TScannerThread(const SignatureLoader& aLoadSignature, const QueueBuilder& aBuildQueue);
    // The two parts of the public constructor: signature.dat from the executable's folder
    // (throws AppError "Signature loading failed: ..."), and the memory, registry and file
    // scanners, in that order, each when the settings ask for it (throws what Settings throws).
    static std::unique_ptr<TSignature> LoadSignature();
    static std::vector<std::unique_ptr<TScanner>> BuildQueueFromSettings(TScannerThread* aWorker);
    // Lets the thread run the body.
    void StartThread() noexcept;

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
    TScanner* FScanner = nullptr;
    std::unique_ptr<TSignature> FSignature;

    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FFinished{false};
    std::optional<std::wstring> FFailure;
    KernelHandle FThread;
};
