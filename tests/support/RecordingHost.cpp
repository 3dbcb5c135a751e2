// The recording host: reports and findings kept in order, passed on when relayed.
#include "tests/support/RecordingHost.h"

#include "scan/Scanner.h"

TScannerThread::QueueBuilder RecordingHost::Relay(TScannerThread::QueueBuilder aBuild)
{
    return [this, build = std::move(aBuild)](TScanHost* aWorker) {
        worker_ = aWorker;
        return build(this);
    };
}

void RecordingHost::SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress)
{
    {
        const std::lock_guard lock(mutex_);
        reports_.push_back({aObjectName, aProgress});
    }
    if (worker_ != nullptr)
        worker_->SetScanInfo(aObjectName, aProgress);
}

void RecordingHost::AddFinding(TFinding aFinding)
{
    {
        const std::lock_guard lock(mutex_);
        findings_.push_back(aFinding);
    }
    if (worker_ != nullptr)
        worker_->AddFinding(std::move(aFinding));
}

void RecordingHost::CountSkipped(TSkipped aKind)
{
    {
        const std::lock_guard lock(mutex_);
        skipped_.Count(aKind);
    }
    if (worker_ != nullptr)
        worker_->CountSkipped(aKind);
}

bool RecordingHost::Terminated() const noexcept
{
    return worker_ != nullptr ? worker_->Terminated() : terminated_.load();
}

TObjectInspector* RecordingHost::Inspector() noexcept
{
    return worker_ != nullptr ? worker_->Inspector() : nullptr;
}

TVerdictCache* RecordingHost::Verdicts() noexcept
{
    return worker_ != nullptr ? worker_->Verdicts() : nullptr;
}

bool RecordingHost::Paused() const noexcept
{
    return worker_ != nullptr && worker_->Paused();
}

std::vector<Report> RecordingHost::Reports() const
{
    const std::lock_guard lock(mutex_);
    return reports_;
}

std::vector<TFinding> RecordingHost::Findings() const
{
    const std::lock_guard lock(mutex_);
    return findings_;
}

TSkippedCounts RecordingHost::Skipped() const
{
    const std::lock_guard lock(mutex_);
    return skipped_;
}
