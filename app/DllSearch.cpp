// Restricts the DLL search path to System32 at start-up.
#include "app/DllSearch.h"

#include "platform/SystemLibrary.h"

void RestrictDllSearchToSystem32() noexcept
{
    // Looked up at run time: absent on Vista and on Windows 7 without KB2533623.
    using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = ProcedureAddress<SetDefaultDllDirectoriesFn>(kernel32, "SetDefaultDllDirectories");
    if (setDefault != nullptr)
        setDefault(0x00000800 /* LOAD_LIBRARY_SEARCH_SYSTEM32 */);
    SetDllDirectoryW(L"");
}
