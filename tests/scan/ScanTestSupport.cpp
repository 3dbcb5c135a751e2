// Test doubles for the scan engine.
#include "ScanTestSupport.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

RecordingWorker::RecordingWorker(const QueueBuilder& aBuildQueue, bool aStart, const SignatureLoader& aLoadSignature)
    : TScannerThread(aLoadSignature, aBuildQueue)
{
    if (aStart)
        StartThread();
}

RecordingWorker::RecordingWorker(FromSettings) : TScannerThread(LoadSignature, BuildQueueFromSettings)
{
    StartThread();
}

RecordingWorker::~RecordingWorker()
{
    StopThread();
}

void RecordingWorker::SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress)
{
    {
        const std::lock_guard lock(mutex_);
        reports_.push_back({aObjectName, aProgress});
    }
    TScannerThread::SetScanInfo(aObjectName, aProgress);
}

std::vector<Report> RecordingWorker::Reports() const
{
    const std::lock_guard lock(mutex_);
    return reports_;
}

void WriteTestFile(const std::wstring& aPath, const std::string& aContent)
{
    std::ofstream file(std::filesystem::path(aPath), std::ios::binary | std::ios::trunc);
    file << aContent;
    if (!file)
        throw std::runtime_error("cannot write test file");
}
