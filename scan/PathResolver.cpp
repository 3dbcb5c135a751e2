// Path resolution for scanned objects: rooted paths, one environment variable, the search path.
#include "scan/PathResolver.h"

#include "platform/Error.h"
#include "platform/TextCompare.h"
#include "text/AsciiCase.h"
#include "text/PathText.h"

#include <windows.h>

#include <string_view>
#include <vector>

namespace {

constexpr DWORD kSearchBufferLength = 260;

bool IsRooted(std::wstring_view aPath)
{
    const bool unc = aPath.starts_with(kLongUncPrefix);
    const std::size_t prefix = unc ? kLongUncPrefix.size() : aPath.starts_with(kLongPathPrefix) ? kLongPathPrefix.size() : 0;
    if (aPath.size() > prefix + 1 && aPath[prefix + 1] == L':')
        return true;
    if (prefix == 0 && !aPath.empty() && (aPath[0] == L'\\' || aPath[0] == L'/'))
        return true;
    return unc && aPath.size() > prefix;
}

// The texts before, between and after the percent signs; an empty last part is left out.
std::vector<std::wstring> SplitAtPercent(const std::wstring& aPath)
{
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    for (std::size_t percent = aPath.find(L'%'); percent != std::wstring::npos; percent = aPath.find(L'%', start)) {
        parts.push_back(aPath.substr(start, percent - start));
        start = percent + 1;
    }
    if (start < aPath.size() || parts.empty())
        parts.push_back(aPath.substr(start));
    return parts;
}

std::wstring EnvironmentValue(const std::wstring& aName)
{
    const DWORD length = GetEnvironmentVariableW(aName.c_str(), nullptr, 0);
    if (length == 0)
        return {};
    std::wstring value(length, L'\0');
    const DWORD written = GetEnvironmentVariableW(aName.c_str(), value.data(), length);
    value.resize(written < length ? written : 0);
    return value;
}

std::wstring SearchOnPath(const std::wstring& aName)
{
    wchar_t buffer[kSearchBufferLength] = {};
    const DWORD count = SearchPathW(nullptr, aName.c_str(), nullptr, kSearchBufferLength, buffer, nullptr);
    if (count > kSearchBufferLength)
        return aName;
    return std::wstring(buffer, count);
}

// A variable of the %NAME% rule, as a process of this one's bitness reads it.
std::wstring NativeVariable(const std::wstring& aName)
{
    return aName;
}

// A variable of the %NAME% rule, as a 32-bit process reads it: the (x86) program folders.
std::wstring Wow64Variable(const std::wstring& aName)
{
    if (EqualsIgnoringAsciiCase(aName, L"ProgramFiles"))
        return L"ProgramFiles(x86)";
    if (EqualsIgnoringAsciiCase(aName, L"CommonProgramFiles"))
        return L"CommonProgramFiles(x86)";
    return aName;
}

std::wstring Resolve(const std::wstring& aPath, std::wstring (*aVariable)(const std::wstring&))
{
    if (HasForbiddenPathChars(aPath))
        throw AppError(L"Invalid characters in path: " + aPath);
    if (IsRooted(aPath))
        return aPath;
    const std::vector<std::wstring> parts = SplitAtPercent(aPath);
    if (parts.size() == 3 && !parts[1].empty()) {
        const std::wstring value = EnvironmentValue(aVariable(parts[1]));
        if (!value.empty())
            return value + parts[2];
    }
    if (aPath.find_first_of(L"\\:") == std::wstring::npos)
        return SearchOnPath(aPath);
    return aPath;
}

// A folder the system names, without a trailing backslash; empty when it cannot tell.
template <typename Query>
std::wstring SystemFolder(Query aQuery)
{
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = aQuery(buffer, MAX_PATH);
    return length == 0 || length >= MAX_PATH ? std::wstring() : std::wstring(buffer, length);
}

// aPath with the system folder at its start (case ignored) replaced by the 32-bit system folder.
std::wstring RedirectSystemFolder(const std::wstring& aPath)
{
    const std::wstring system = SystemFolder(GetSystemDirectoryW);
    if (system.empty() || aPath.size() < system.size() ||
        (aPath.size() > system.size() && aPath[system.size()] != L'\\') ||
        !EqualsOrdinalIgnoringCase(std::wstring_view(aPath).substr(0, system.size()), system))
        return aPath;
    const std::wstring wow64 = SystemFolder(GetSystemWow64DirectoryW);
    return wow64.empty() ? aPath : wow64 + aPath.substr(system.size());
}

} // namespace

std::wstring ResolveFilePath(const std::wstring& aPath)
{
    return Resolve(aPath, NativeVariable);
}

std::wstring ResolveWow64FilePath(const std::wstring& aPath)
{
    return RedirectSystemFolder(Resolve(aPath, Wow64Variable));
}
