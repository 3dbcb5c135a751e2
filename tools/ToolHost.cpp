// The tool's host: every report goes on to the worker; objects and findings are kept in order.
#include "tools/ToolHost.h"

namespace {

// The reports that name no file: the list being built, a module, a registry key.
bool NamesAFile(const std::wstring& aName)
{
    return aName != L"building file list..." && aName != L"memory..." && aName != L"registry";
}

} // namespace

void TToolHost::Settle()
{
    if (!FSettled && NamesAFile(FCurrent))
        FEvents.push_back({true, TFinding{FCurrent, {}, TFindingKind::Infected, 0}});
    FSettled = true;
}

void TToolHost::SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress)
{
    {
        CriticalSectionLock lock(FLock);
        Settle();
        FCurrent = aObjectName;
        FSettled = false;
    }
    FWorker.SetScanInfo(aObjectName, aProgress);
}

void TToolHost::AddFinding(TFinding aFinding)
{
    {
        CriticalSectionLock lock(FLock);
        if (aFinding.Object == FCurrent)
            FSettled = true;
        FEvents.push_back({false, aFinding});
    }
    FWorker.AddFinding(std::move(aFinding));
}

void TToolHost::CountSkipped(TSkipped aKind)
{
    {
        CriticalSectionLock lock(FLock);
        FSettled = true;
    }
    FWorker.CountSkipped(aKind);
}

std::vector<TToolEvent> TToolHost::TakeEvents(bool aSettleLast)
{
    CriticalSectionLock lock(FLock);
    if (aSettleLast)
        Settle();
    std::vector<TToolEvent> events;
    events.swap(FEvents);
    return events;
}
