// The memory scanner: module paths from Toolhelp snapshots, sorted without repetitions.
#include "scan/MemoryScanner.h"

#include "platform/ToolhelpSnapshot.h"
#include "scan/ScanHost.h"

#include <cwchar>

namespace {

// Gathers the module paths of one process; the system refuses some processes (protected ones,
// 64-bit ones seen from a 32-bit process), which then throws.
void GatherModules(DWORD aProcessId, SortedPathList& aPaths)
{
    const ToolhelpSnapshot modules(TH32CS_SNAPMODULE, aProcessId);
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (bool found = modules.FirstModule(entry); found; found = modules.NextModule(entry))
        aPaths.Gather(std::wstring_view(entry.szExePath, wcsnlen(entry.szExePath, MAX_PATH)));
}

} // namespace

TMemoryScanner::TMemoryScanner(TScanHost* aScannerThread) : TScanner(aScannerThread)
{
}

TMemoryScanner::~TMemoryScanner() = default;

bool TMemoryScanner::ScanNext()
{
    return StepThroughList(FCurrent, [this] { First(); }, [this] { Next(); }, [this] { ScanCurrent(); });
}

void TMemoryScanner::First()
{
    BuildModuleList();
    FCurrent = FModuleList.Empty() ? -1 : 0;
}

void TMemoryScanner::Next()
{
    NextEntry(FCurrent, FModuleList.Size());
}

void TMemoryScanner::ScanCurrent()
{
    FScannerThread->SetScanInfo(L"memory...", Percentage(FCurrent, FModuleList.Size()));
    ScanFile(std::wstring(FModuleList[static_cast<std::size_t>(FCurrent)]));
}

void TMemoryScanner::BuildModuleList()
{
    FModuleList.Clear();
    const ToolhelpSnapshot processes(TH32CS_SNAPALL, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (bool found = processes.FirstProcess(entry); found; found = processes.NextProcess(entry)) {
        try {
            GatherModules(entry.th32ProcessID, FModuleList);
        } catch (...) {
            // A process whose modules cannot be listed contributes nothing more.
        }
    }
    FModuleList.Merge();
    FModuleList.Seal();
}
