// The recording worker: the given signature loader and queue, reports kept in order.
#include "tests/support/RecordingWorker.h"

#include "scan/Scanner.h"

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
