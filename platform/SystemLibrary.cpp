// Loading DLLs by their full path in the system folder.
#include "platform/SystemLibrary.h"

#include <string>

HMODULE LoadSystemLibrary(const wchar_t* aFileName) noexcept
{
    wchar_t folder[MAX_PATH];
    const UINT length = GetSystemDirectoryW(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return nullptr;
    try {
        return LoadLibraryW((std::wstring(folder, length) + L"\\" + aFileName).c_str());
    } catch (...) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}
