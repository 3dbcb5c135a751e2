// Rules about the text of Windows paths that need no call to the system.
#pragma once

#include <string>
#include <string_view>

// The extended-length prefix, and its form for network paths.
inline constexpr std::wstring_view kLongPathPrefix = L"\\\\?\\";
inline constexpr std::wstring_view kLongUncPrefix = L"\\\\?\\UNC\\";

// A character no path may hold: control codes, double quote, '<', '>' and '|'.
constexpr bool IsForbiddenPathChar(wchar_t aChar) noexcept
{
    return aChar < 0x20 || aChar == L'"' || aChar == L'<' || aChar == L'>' || aChar == L'|';
}

// True when aPath holds a forbidden character.
bool HasForbiddenPathChars(std::wstring_view aPath) noexcept;

constexpr bool HasLongPathPrefix(std::wstring_view aPath) noexcept
{
    return aPath.starts_with(kLongPathPrefix);
}

// aName without its trailing dots and spaces, the part whose extension counts: the system trims
// them from ordinary paths, so "evil.exe." and "evil.exe " are .exe files.
constexpr std::wstring_view WithoutTrailingDotsAndSpaces(std::wstring_view aName) noexcept
{
    const std::size_t last = aName.find_last_not_of(L". ");
    return last == std::wstring_view::npos ? std::wstring_view() : aName.substr(0, last + 1);
}

// The extended-length form of the full path aFullPath, which reaches any depth and keeps names
// ending in dots or spaces: \\?\ before a drive path, \\?\UNC\ in place of the leading \\ of a
// network path, \\?\ in place of the device prefix \\.\; a path with the prefix stays as it is.
std::wstring ExtendedLengthPath(std::wstring_view aFullPath);

// aPath, which begins with aFrom, moved below aTo: aTo, one backslash, and the rest of aPath
// after aFrom without its leading backslashes; aTo alone when nothing is left.
std::wstring RebasePath(std::wstring_view aPath, std::wstring_view aFrom, std::wstring_view aTo);
