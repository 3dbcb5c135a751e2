// One folder search: the basic entry data (no short names), fetched in large batches.
#include "platform/FindFile.h"

#include "platform/Error.h"

bool FindFile::First(const std::wstring& aPattern, WIN32_FIND_DATAW& aData)
{
    WIN32_FIND_DATAW data;
    FindHandle handle(FindFirstFileExW(aPattern.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                       FIND_FIRST_EX_LARGE_FETCH));
    if (!handle) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND)
            return false;
        ThrowWin32Error(error, L"Cannot search " + aPattern + L": ");
    }
    handle_ = std::move(handle);
    aData = data;
    return true;
}

bool FindFile::Next(WIN32_FIND_DATAW& aData)
{
    WIN32_FIND_DATAW data;
    if (!FindNextFileW(handle_.Get(), &data)) {
        const DWORD error = GetLastError();
        if (error == ERROR_NO_MORE_FILES)
            return false;
        ThrowWin32Error(error, L"Folder search failed: ");
    }
    aData = data;
    return true;
}
