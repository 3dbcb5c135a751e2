// Path text rules.
#include "text/PathText.h"

#include <algorithm>

bool HasForbiddenPathChars(std::wstring_view aPath) noexcept
{
    return std::ranges::any_of(aPath, IsForbiddenPathChar);
}

std::wstring ExtendedLengthPath(std::wstring_view aFullPath)
{
    constexpr std::wstring_view kDevicePrefix = L"\\\\.\\";
    constexpr std::wstring_view kNetworkPrefix = L"\\\\";
    if (HasLongPathPrefix(aFullPath))
        return std::wstring(aFullPath);
    if (aFullPath.starts_with(kDevicePrefix))
        return std::wstring(kLongPathPrefix).append(aFullPath.substr(kDevicePrefix.size()));
    if (aFullPath.starts_with(kNetworkPrefix))
        return std::wstring(kLongUncPrefix).append(aFullPath.substr(kNetworkPrefix.size()));
    return std::wstring(kLongPathPrefix).append(aFullPath);
}

std::wstring RebasePath(std::wstring_view aPath, std::wstring_view aFrom, std::wstring_view aTo)
{
    std::wstring_view rest = aPath.substr(std::min(aFrom.size(), aPath.size()));
    while (!rest.empty() && rest.front() == L'\\')
        rest.remove_prefix(1);
    std::wstring path(aTo);
    if (!rest.empty() && !path.empty() && path.back() != L'\\')
        path += L'\\';
    path += rest;
    return path;
}
