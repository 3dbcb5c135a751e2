// ASCII letter case: the only folding the program does without the user's locale.
#pragma once

#include <string_view>

// aChar with A to Z turned into a to z; every other character unchanged.
constexpr wchar_t AsciiLower(wchar_t aChar) noexcept
{
    return aChar >= L'A' && aChar <= L'Z' ? static_cast<wchar_t>(aChar - L'A' + L'a') : aChar;
}

constexpr bool IsAsciiLetter(wchar_t aChar) noexcept
{
    return (aChar >= L'a' && aChar <= L'z') || (aChar >= L'A' && aChar <= L'Z');
}

constexpr bool IsAsciiAlnum(wchar_t aChar) noexcept
{
    return IsAsciiLetter(aChar) || (aChar >= L'0' && aChar <= L'9');
}

// Equal texts once ASCII letters are folded.
bool EqualsIgnoringAsciiCase(std::wstring_view aLeft, std::wstring_view aRight) noexcept;

// -1, 0 or 1 as aLeft sorts before, with or after aRight by code unit once ASCII letters are folded.
int CompareIgnoringAsciiCase(std::wstring_view aLeft, std::wstring_view aRight) noexcept;
