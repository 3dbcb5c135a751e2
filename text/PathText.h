// Rules about the text of Windows paths that need no call to the system.
#pragma once

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
