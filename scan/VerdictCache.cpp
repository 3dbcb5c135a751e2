// Keys of the verdict cache: file identity, or the path for a file that cannot be opened.
#include "scan/VerdictCache.h"

#include "text/PathText.h"

#include <windows.h>

std::wstring TVerdictCache::IdentityKey(std::uint32_t aVolume, std::uint64_t aIndex)
{
    return L"id:" + std::to_wstring(aVolume) + L":" + std::to_wstring(aIndex);
}

std::wstring TVerdictCache::PathKey(std::wstring_view aPath)
{
    std::wstring path;
    if (aPath.starts_with(kLongUncPrefix))
        path = L"\\\\" + std::wstring(aPath.substr(kLongUncPrefix.size()));
    else if (HasLongPathPrefix(aPath))
        path = aPath.substr(kLongPathPrefix.size());
    else
        path = aPath;
    if (!path.empty())
        CharUpperBuffW(path.data(), static_cast<DWORD>(path.size()));
    return L"path:" + path;
}
