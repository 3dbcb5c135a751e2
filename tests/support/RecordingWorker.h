// A worker for scanner tests: records every report; its thread runs only when started.
#pragma once

#include "scan/ScannerThread.h"
#include "signature/Signature.h"

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

// Built with the default arguments its thread never runs the body: the test drives a scanner
// itself, on its own thread.
class RecordingWorker : public TScannerThread {
public:
    using TScannerThread::QueueBuilder;
    using TScannerThread::SignatureLoader;

    explicit RecordingWorker(const QueueBuilder& aBuildQueue = NoScanners, bool aStart = false,
        const SignatureLoader& aLoadSignature = NoSignature);
    // Built and started like the worker of a scan: signature.dat and the queue from the settings.
    struct FromSettings {};
    explicit RecordingWorker(FromSettings);
    ~RecordingWorker() override;

    void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress) override;
    std::vector<Report> Reports() const;

    using TScannerThread::StartThread;

    static std::vector<std::unique_ptr<TScanner>> NoScanners(TScannerThread*) { return {}; }
    static std::unique_ptr<TSignature> NoSignature() { return nullptr; }

private:
    mutable std::mutex mutex_;
    std::vector<Report> reports_;
};
