// The existence test for files: attributes, links and the directory-search fallback.
#include "platform/FileExistence.h"

#include "platform/Handle.h"

#include <windows.h>

#include <algorithm>
#include <array>

namespace {

bool LinkTargetOpens(const std::wstring& aPath) noexcept
{
    const FileHandle target(CreateFileW(aPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr));
    return target.IsValid() || GetLastError() == ERROR_SHARING_VIOLATION;
}

bool FoundAsFileBySearch(const std::wstring& aPath) noexcept
{
    WIN32_FIND_DATAW data;
    const FindHandle search(FindFirstFileW(aPath.c_str(), &data));
    return search.IsValid() && (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

} // namespace

bool FileExists(const std::wstring& aPath) noexcept
{
    const DWORD attributes = GetFileAttributesW(aPath.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND || error == ERROR_INVALID_NAME)
            return false;
        return FoundAsFileBySearch(aPath);
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return false;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        return LinkTargetOpens(aPath);
    return true;
}

bool IsMissingPathError(DWORD aError) noexcept
{
    constexpr std::array<DWORD, 9> kMissing = {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_NOT_READY,
                                               ERROR_BAD_NETPATH,    ERROR_BAD_NET_NAME,   ERROR_INVALID_DRIVE,
                                               ERROR_NETWORK_UNREACHABLE, ERROR_BAD_PATHNAME, ERROR_INVALID_NAME};
    return std::find(kMissing.begin(), kMissing.end(), aError) != kMissing.end();
}
