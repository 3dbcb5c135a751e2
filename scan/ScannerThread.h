// The scan worker: one OS thread driving the queue of scanners, with pause, stop and progress.
#pragma once

#include "scan/ScanInfo.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
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

    // Called by the scanners on the worker thread: a report before each object.
    virtual void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress);
    // Termination requested: long walks and reads poll it and give up.
    bool Terminated() const noexcept;
};
