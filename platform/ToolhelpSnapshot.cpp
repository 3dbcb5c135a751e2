// Toolhelp snapshots: creation and the process and module walks.
#include "platform/ToolhelpSnapshot.h"

#include "platform/Error.h"

#if defined(__i386__)
static_assert(sizeof(PROCESSENTRY32W) == 556, "PROCESSENTRY32W of the 32-bit build");
static_assert(sizeof(MODULEENTRY32W) == 1064, "MODULEENTRY32W of the 32-bit build");
#endif

ToolhelpSnapshot::ToolhelpSnapshot(DWORD aFlags, DWORD aProcessId)
    : handle_(CreateToolhelp32Snapshot(aFlags, aProcessId))
{
    if (!handle_)
        ThrowLastError();
}

bool ToolhelpSnapshot::FirstProcess(PROCESSENTRY32W& aEntry) const noexcept
{
    return Process32FirstW(handle_.Get(), &aEntry) != FALSE;
}

bool ToolhelpSnapshot::NextProcess(PROCESSENTRY32W& aEntry) const noexcept
{
    return Process32NextW(handle_.Get(), &aEntry) != FALSE;
}

bool ToolhelpSnapshot::FirstModule(MODULEENTRY32W& aEntry) const noexcept
{
    return Module32FirstW(handle_.Get(), &aEntry) != FALSE;
}

bool ToolhelpSnapshot::NextModule(MODULEENTRY32W& aEntry) const noexcept
{
    return Module32NextW(handle_.Get(), &aEntry) != FALSE;
}
