// The running executable's own path (GetModuleFileNameW), cut after its last backslash.
#include "platform/ProgramFolder.h"

#include "platform/Error.h"

#include <windows.h>

std::wstring ProgramFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            ThrowLastError(L"Cannot find the program's own path: ");
        if (length < path.size()) {
            path.resize(length);
            return path.substr(0, path.find_last_of(L'\\') + 1);
        }
        path.resize(path.size() * 2);
    }
}
