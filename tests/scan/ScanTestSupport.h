// Test doubles for the scan engine: a recording worker, block recorders and file helpers.
#pragma once

#include "scan/Scanner.h"
#include "scan/ScannerThread.h"
#include "signature/Signature.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct Report {
    std::wstring name;
    std::uint8_t progress;
    bool operator==(const Report&) const = default;
};

// A worker that records every report. Built with the default arguments its thread never runs
// the body: the test drives a scanner itself, on its own thread.
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
    using TScannerThread::StopThread;

    static std::vector<std::unique_ptr<TScanner>> NoScanners(TScannerThread*) { return {}; }
    static std::unique_ptr<TSignature> NoSignature() { return nullptr; }

private:
    mutable std::mutex mutex_;
    std::vector<Report> reports_;
};

// Gives tests the protected reader of the base and records the blocks it inspects.
template <typename Base>
class BlockRecorder : public Base {
public:
    explicit BlockRecorder(TScannerThread* aWorker) : Base(aWorker) {}
    using TScanner::Percentage;
    using TScanner::ScanFile;

    void ScanBuffer(const std::uint8_t* aBuffer, DWORD aCount) override
    {
        blockSizes.push_back(aCount);
        const std::string_view block(reinterpret_cast<const char*>(aBuffer), aCount);
        if (keepContent)
            content.append(block);
        if (block.starts_with(kMarker))
            markedBlocks.emplace_back(block);
    }

    // Test files that start with this text are recorded in markedBlocks.
    static constexpr std::string_view kMarker = "QVMARK-";
    bool keepContent = true;
    std::vector<DWORD> blockSizes;
    std::string content;
    std::vector<std::string> markedBlocks;
};

// Writes aContent to aPath, replacing the file; throws std::runtime_error on failure.
void WriteTestFile(const std::wstring& aPath, const std::string& aContent);
