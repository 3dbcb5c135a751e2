// Toolhelp snapshots: creation and the process and module walks.
#include "platform/ToolhelpSnapshot.h"

#include "platform/Error.h"

#include <string>

#if defined(_WIN64)
static_assert(sizeof(PROCESSENTRY32W) == 568, "PROCESSENTRY32W of the 64-bit edition");
static_assert(sizeof(MODULEENTRY32W) == 1080, "MODULEENTRY32W of the 64-bit edition");
#else
static_assert(sizeof(PROCESSENTRY32W) == 556, "PROCESSENTRY32W of the 32-bit edition");
static_assert(sizeof(MODULEENTRY32W) == 1064, "MODULEENTRY32W of the 32-bit edition");
#endif

namespace {

constexpr wchar_t kProcessWalk[] = L"Cannot walk the process list: ";
constexpr wchar_t kModuleWalk[] = L"Cannot walk the module list: ";

// One step of a walk into a copy of aEntry, which takes the entry only when there is one.
template <typename Step, typename Entry>
bool WalkStep(Step aStep, HANDLE aSnapshot, Entry& aEntry, const wchar_t* aContext)
{
    Entry entry = aEntry;
    if (!aStep(aSnapshot, &entry)) {
        const DWORD error = GetLastError();
        if (error == ERROR_NO_MORE_FILES)
            return false;
        ThrowWin32Error(error, aContext);
    }
    aEntry = entry;
    return true;
}

} // namespace

ToolhelpSnapshot::ToolhelpSnapshot(DWORD aFlags, DWORD aProcessId)
    : handle_(CreateToolhelp32Snapshot(aFlags, aProcessId))
{
    if (!handle_) {
        const DWORD error = GetLastError();
        ThrowWin32Error(error, L"Cannot take a snapshot of process " + std::to_wstring(aProcessId) + L": ");
    }
}

bool ToolhelpSnapshot::FirstProcess(PROCESSENTRY32W& aEntry) const
{
    return WalkStep(Process32FirstW, handle_.Get(), aEntry, kProcessWalk);
}

bool ToolhelpSnapshot::NextProcess(PROCESSENTRY32W& aEntry) const
{
    return WalkStep(Process32NextW, handle_.Get(), aEntry, kProcessWalk);
}

bool ToolhelpSnapshot::FirstModule(MODULEENTRY32W& aEntry) const
{
    return WalkStep(Module32FirstW, handle_.Get(), aEntry, kModuleWalk);
}

bool ToolhelpSnapshot::NextModule(MODULEENTRY32W& aEntry) const
{
    return WalkStep(Module32NextW, handle_.Get(), aEntry, kModuleWalk);
}
