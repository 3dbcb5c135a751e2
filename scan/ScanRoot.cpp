// Scan root check: the spelling first, then the full path, then the folder on disk.
#include "scan/ScanRoot.h"

#include "platform/Error.h"
#include "platform/FolderIdentity.h"
#include "text/AsciiCase.h"
#include "text/PathText.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <string_view>

namespace {

constexpr std::size_t kMaxFolderPath = 248;

// Only a colon right after a drive letter at the start, or after the extended-length prefix.
bool HasStrayColon(std::wstring_view aRoot) noexcept
{
    const std::size_t start = HasLongPathPrefix(aRoot) ? kLongPathPrefix.size() : 0;
    for (std::size_t i = 0; i < aRoot.size(); ++i) {
        if (aRoot[i] == L':' && !(i == start + 1 && IsAsciiLetter(aRoot[start])))
            return true;
    }
    return false;
}

bool IsWellFormed(const std::wstring& aRoot)
{
    if (aRoot.find_first_not_of(L' ') == std::wstring::npos)
        return false;
    if (HasForbiddenPathChars(aRoot) || HasStrayColon(aRoot))
        return false;
    const DWORD needed = GetFullPathNameW(aRoot.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(aRoot.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return GetLastError() == ERROR_FILE_NOT_FOUND;
    full.resize(length);
    return full.size() < kMaxFolderPath || HasLongPathPrefix(full);
}

// Errors of GetFileAttributesW that mean nothing is there, or it cannot be reached; a name with
// wildcards (ERROR_INVALID_NAME) names no folder either.
bool MeansMissing(DWORD aError) noexcept
{
    constexpr std::array<DWORD, 9> kMissing = {ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_NOT_READY,
                                               ERROR_BAD_NETPATH,    ERROR_BAD_NET_NAME,   ERROR_INVALID_DRIVE,
                                               ERROR_NETWORK_UNREACHABLE, ERROR_BAD_PATHNAME, ERROR_INVALID_NAME};
    return std::find(kMissing.begin(), kMissing.end(), aError) != kMissing.end();
}

bool IsExistingFolder(const std::wstring& aRoot)
{
    const DWORD attributes = GetFileAttributesW(aRoot.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return !MeansMissing(GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return false;
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || GetFolderIdentity(aRoot).has_value();
}

}

void CheckScanRoot(const std::wstring& aRoot)
{
    if (!IsWellFormed(aRoot))
        throw AppError(L"Invalid folder: " + aRoot);
    if (!IsExistingFolder(aRoot))
        throw AppError(L"Folder not found: " + aRoot);
}
