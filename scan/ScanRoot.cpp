// Scan root check: the spelling first, then the full path in its extended-length form, then the folder on disk.
#include "scan/ScanRoot.h"

#include "platform/Error.h"
#include "platform/FileExistence.h"
#include "platform/FolderIdentity.h"
#include "text/AsciiCase.h"
#include "text/PathText.h"

#include <windows.h>

#include <optional>
#include <string_view>

namespace {

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

bool IsWellSpelled(const std::wstring& aRoot)
{
    return aRoot.find_first_not_of(L' ') != std::wstring::npos && !HasForbiddenPathChars(aRoot) &&
        !HasStrayColon(aRoot);
}

// The extended-length form of aRoot's full path: aRoot itself when it has the prefix, or when the
// system finds nothing to expand; nullopt when it cannot be expanded.
std::optional<std::wstring> SystemForm(const std::wstring& aRoot)
{
    if (HasLongPathPrefix(aRoot))
        return aRoot;
    const DWORD needed = GetFullPathNameW(aRoot.c_str(), 0, nullptr, nullptr);
    if (needed == 0)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(aRoot) : std::nullopt;
    std::wstring full(needed, L'\0');
    const DWORD length = GetFullPathNameW(aRoot.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed)
        return GetLastError() == ERROR_FILE_NOT_FOUND ? std::optional(aRoot) : std::nullopt;
    full.resize(length);
    return ExtendedLengthPath(full);
}

bool IsExistingFolder(const std::wstring& aRoot)
{
    const DWORD attributes = GetFileAttributesW(aRoot.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES)
        return !IsMissingPathError(GetLastError());
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
        return false;
    return (attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || GetFolderIdentity(aRoot).has_value();
}

}

std::wstring CheckScanRoot(const std::wstring& aRoot)
{
    const std::optional<std::wstring> system = IsWellSpelled(aRoot) ? SystemForm(aRoot) : std::nullopt;
    if (!system)
        throw AppError(L"Invalid folder: " + aRoot);
    if (!IsExistingFolder(*system))
        throw AppError(L"Folder not found: " + aRoot);
    return *system;
}

std::wstring ScanFileSystemPath(const std::wstring& aFile)
{
    return IsWellSpelled(aFile) ? SystemForm(aFile).value_or(aFile) : aFile;
}
