// Functions looked up at run time: typed procedure addresses, and Windows DLLs that are not
// among the system's known DLLs, loaded from the system folder only.
#pragma once

#include <windows.h>

#include <type_traits>

// The address of aName in aModule as a pointer to a function of type Function; nullptr when
// the module lacks it (GetLastError set).
template <typename Function>
    requires std::is_function_v<std::remove_pointer_t<Function>>
Function ProcedureAddress(HMODULE aModule, const char* aName) noexcept
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(aModule, aName)));
}

// Loads aFileName ("bcrypt.dll") by its full path in the system folder; it stays loaded for
// the life of the process. Imported statically, a file of that name beside the program would
// be loaded in its place. Returns nullptr (GetLastError set) when it cannot be loaded.
HMODULE LoadSystemLibrary(const wchar_t* aFileName) noexcept;

// The address of aName in the system library aFileName, or nullptr.
template <typename Function>
Function SystemFunction(const wchar_t* aFileName, const char* aName) noexcept
{
    const HMODULE library = LoadSystemLibrary(aFileName);
    if (library == nullptr)
        return nullptr;
    return ProcedureAddress<Function>(library, aName);
}
