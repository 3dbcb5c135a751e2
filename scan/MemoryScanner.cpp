// The memory scanner: module paths from Toolhelp snapshots, sorted without repetitions.
#include "scan/MemoryScanner.h"

#include "platform/Error.h"
#include "platform/ToolhelpSnapshot.h"
#include "scan/ScanHost.h"

#include <cwchar>

namespace {

// The 64-bit edition asks for the modules of 32-bit processes too; the 32-bit edition sees its own kind.
#if defined(_WIN64)
constexpr DWORD kModuleSnapshot = TH32CS_SNAPMODULE | TH32CS_SNAPMODULE32;
#else
constexpr DWORD kModuleSnapshot = TH32CS_SNAPMODULE;
#endif

// The snapshot of the running processes. Throws AppError with the system's text alone (and its
// code) when refused: the worker shows that text as the scan's failure.
ToolhelpSnapshot ProcessSnapshot()
{
    try {
        return ToolhelpSnapshot(TH32CS_SNAPALL, 0);
    } catch (const AppError& error) {
        ThrowWin32Error(error.Code());
    }
}

// Gathers the module paths of one process. Throws AppError with the system's code when the system
// refuses the process (protected ones, 64-bit ones seen from a 32-bit process) or its module walk
// fails; the paths gathered before stay.
void GatherModules(DWORD aProcessId, SortedPathList& aPaths)
{
    const ToolhelpSnapshot modules(kModuleSnapshot, aProcessId);
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (bool found = modules.FirstModule(entry); found; found = modules.NextModule(entry))
        aPaths.Gather(std::wstring_view(entry.szExePath, wcsnlen(entry.szExePath, MAX_PATH)));
}

} // namespace

TMemoryScanner::TMemoryScanner(TScanHost* aScannerThread) : TListScanner(aScannerThread)
{
}

TMemoryScanner::~TMemoryScanner() = default;

std::size_t TMemoryScanner::BuildList()
{
    BuildModuleList();
    return FModuleList.Size();
}

void TMemoryScanner::ScanEntry(std::size_t aIndex, std::uint8_t aPercentage)
{
    FScannerThread->SetScanInfo(L"memory...", aPercentage);
    ScanFile(std::wstring(FModuleList[aIndex]));
}

void TMemoryScanner::GatherProcess(DWORD aProcessId) noexcept
{
    try {
        GatherModules(aProcessId, FModuleList);
    } catch (const AppError&) {
        // A process whose modules cannot be listed (the system's code in Code()) contributes
        // nothing more, and is counted.
        FScannerThread->CountSkipped(TSkipped::Process);
    } catch (...) {
        // Nor does one whose paths cannot be kept.
    }
}

void TMemoryScanner::BuildModuleList()
{
    FModuleList.Clear();
    const ToolhelpSnapshot processes = ProcessSnapshot();
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    try {
        for (bool found = processes.FirstProcess(entry); found; found = processes.NextProcess(entry))
            GatherProcess(entry.th32ProcessID);
    } catch (const AppError&) {
        // A process walk that fails (the system's code in Code()) ends the list with the
        // processes already seen.
    }
    FModuleList.Merge();
    FModuleList.Seal();
}
