// The recording worker: no signature, the given queue, reports kept in order.
#include "RecordingWorker.h"

#include "scan/Scanner.h"
#include "signature/Signature.h"

namespace {

std::vector<std::unique_ptr<TScanner>> NoScanners(TScannerThread*)
{
    return {};
}

}

RecordingWorker::RecordingWorker(const QueueBuilder& aBuildQueue)
    : TScannerThread([] { return std::unique_ptr<TSignature>(); }, aBuildQueue ? aBuildQueue : QueueBuilder(NoScanners))
{
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
