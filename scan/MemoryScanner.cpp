// The memory scanner: module paths from Toolhelp snapshots, sorted without repetitions.
#include "scan/MemoryScanner.h"

#include "platform/Error.h"
#include "platform/ToolhelpSnapshot.h"
#include "scan/ScannerThread.h"

#include <algorithm>
#include <cwchar>

namespace {

bool TextLess(const std::wstring& aLeft, const std::wstring& aRight) noexcept
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, aLeft.c_str(), static_cast<int>(aLeft.size()),
               aRight.c_str(), static_cast<int>(aRight.size())) == CSTR_LESS_THAN;
}

// Appends the module paths of one process; the system refuses some processes (protected ones,
// 64-bit ones seen from a 32-bit process), which then throws.
void GatherModules(DWORD aProcessId, std::vector<std::wstring>& aPaths)
{
    const ToolhelpSnapshot modules(TH32CS_SNAPMODULE, aProcessId);
    MODULEENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (bool found = modules.FirstModule(entry); found; found = modules.NextModule(entry))
        aPaths.emplace_back(entry.szExePath, wcsnlen(entry.szExePath, MAX_PATH));
}

// Sorts stably and keeps the first of every run of equal paths.
void SortKeepingFirst(std::vector<std::wstring>& aPaths)
{
    std::stable_sort(aPaths.begin(), aPaths.end(), TextLess);
    const auto equal = [](const std::wstring& aLeft, const std::wstring& aRight) {
        return !TextLess(aLeft, aRight) && !TextLess(aRight, aLeft);
    };
    aPaths.erase(std::unique(aPaths.begin(), aPaths.end(), equal), aPaths.end());
}

} // namespace

TMemoryScanner::TMemoryScanner(TScannerThread* aScannerThread) : TScanner(aScannerThread)
{
}

TMemoryScanner::~TMemoryScanner() = default;

bool TMemoryScanner::ScanNext()
{
    if (FCurrent == -1)
        First();
    else
        Next();
    if (FCurrent == -1)
        return false;
    ScanCurrent();
    return true;
}

void TMemoryScanner::First()
{
    BuildModuleList();
    FCurrent = FModuleList.empty() ? -1 : 0;
}

void TMemoryScanner::Next()
{
    ++FCurrent;
    if (static_cast<std::size_t>(FCurrent) >= FModuleList.size())
        FCurrent = -1;
}

void TMemoryScanner::ScanCurrent()
{
    FScannerThread->SetScanInfo(L"memory...", Percentage(FCurrent, FModuleList.size()));
    ScanFile(FModuleList[static_cast<std::size_t>(FCurrent)]);
}

void TMemoryScanner::BuildModuleList()
{
    FModuleList.clear();
    const ToolhelpSnapshot processes(TH32CS_SNAPALL, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    std::vector<std::wstring> paths;
    for (bool found = processes.FirstProcess(entry); found; found = processes.NextProcess(entry)) {
        try {
            GatherModules(entry.th32ProcessID, paths);
        } catch (const AppError&) {
            // A process whose modules cannot be listed contributes nothing.
        }
    }
    SortKeepingFirst(paths);
    FModuleList = std::move(paths);
}
