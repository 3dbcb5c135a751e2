// The host the tool's scanners report to: passes everything on to the worker and keeps, in
// order, each object read without a finding and each finding, for the tool's output.
#pragma once

#include "platform/CriticalSection.h"
#include "scan/ScanHost.h"

#include <string>
#include <vector>

struct TToolEvent {
    // Set for an object read without a finding; otherwise Finding holds one.
    bool Ok = false;
    TFinding Finding;
};

class TToolHost final : public TScanHost {
public:
    explicit TToolHost(TScanHost& aWorker) : FWorker(aWorker) {}

    void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress) override;
    void AddFinding(TFinding aFinding) override;
    void CountSkipped(TSkipped aKind) override;
    bool Terminated() const noexcept override { return FWorker.Terminated(); }
    TObjectInspector* Inspector() noexcept override { return FWorker.Inspector(); }

    // The events since the last call. Once the worker has ended by itself, aSettleLast records
    // the last object too (not after a stop, which may have cut its read short).
    std::vector<TToolEvent> TakeEvents(bool aSettleLast);

private:
    // Records the current object as read without a finding unless it was settled otherwise;
    // FLock held.
    void Settle();

    TScanHost& FWorker;
    CriticalSection FLock;
    std::wstring FCurrent;
    bool FSettled = true;
    std::vector<TToolEvent> FEvents;
};
