// A scan host for tests: records every report and finding, on no thread of its own.
#pragma once

#include "scan/ScanHost.h"
#include "scan/ScannerThread.h"
#include "signature/Signature.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

struct Report {
    std::wstring name;
    std::uint8_t progress;
    bool operator==(const Report&) const = default;
};

// Alone it answers Terminated() with its own flag: a test drives the scanners itself. Relayed,
// it passes every call on to a real worker. Safe to call from the worker's thread.
class RecordingHost : public TScanHost {
public:
    // A queue builder for a real worker: the queue aBuild makes reports to this recorder, which
    // passes every call on to the worker. The recorder must outlive the worker.
    TScannerThread::QueueBuilder Relay(TScannerThread::QueueBuilder aBuild);

    void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress) override;
    void AddFinding(TFinding aFinding) override;
    void CountSkipped(TSkipped aKind) override;
    bool Terminated() const noexcept override;
    bool Paused() const noexcept override;
    TVerdictCache* Verdicts() noexcept override;
    TObjectInspector* Inspector() noexcept override;

    // Alone: Terminated() answers true from now on.
    void RequestTermination() noexcept { terminated_ = true; }

    std::vector<Report> Reports() const;
    std::vector<TFinding> Findings() const;
    TSkippedCounts Skipped() const;

private:
    mutable std::mutex mutex_;
    std::vector<Report> reports_;
    std::vector<TFinding> findings_;
    TSkippedCounts skipped_;
    std::atomic<bool> terminated_{false};
    // Set by the queue builder, before the worker's thread runs.
    TScanHost* worker_ = nullptr;
};

// The signature loader of a real worker under test: loads nothing.
inline std::unique_ptr<TSignature> NoSignature()
{
    return nullptr;
}
