// A worker for file scanner tests: records every report; its thread runs only when started.
#pragma once

#include "scan/ScannerThread.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

struct Report {
    std::wstring name;
    std::uint8_t progress;
    bool operator==(const Report&) const = default;
};

class RecordingWorker : public TScannerThread {
public:
    using TScannerThread::QueueBuilder;

    // Without a queue builder the test drives a scanner itself, on its own thread.
    explicit RecordingWorker(const QueueBuilder& aBuildQueue = {});
    ~RecordingWorker() override;

    void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress) override;
    std::vector<Report> Reports() const;

    using TScannerThread::StartThread;
    using TScannerThread::StopThread;

private:
    mutable std::mutex mutex_;
    std::vector<Report> reports_;
};
