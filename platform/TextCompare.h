// The comparisons of text that Windows makes for the program: by the user's locale with letter
// case ignored (files to scan, extensions) and ordinal with letter case ignored (file names).
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

// Below, equal to or above 0 as aLeft sorts before, with or after aRight by the user's locale,
// letter case ignored (CompareStringW, LOCALE_USER_DEFAULT, NORM_IGNORECASE).
int CompareForUser(std::wstring_view aLeft, std::wstring_view aRight) noexcept;

// The sort key of aText by the user's locale, letter case ignored (LCMapStringW, LCMAP_SORTKEY |
// NORM_IGNORECASE): keys compared bytewise, the shorter first on a tie, order as CompareForUser.
// Fills aKey from its start, growing it when too small, and returns the key's length in bytes.
// Throws AppError naming aText when the system cannot make the key, std::bad_alloc.
std::size_t SortKeyForUser(std::wstring_view aText, std::vector<std::uint8_t>& aKey);

// Below, equal to or above 0 as Windows orders file names: ordinal, letter case ignored
// (CompareStringOrdinal with bIgnoreCase).
int CompareOrdinalIgnoringCase(std::wstring_view aLeft, std::wstring_view aRight) noexcept;

// Equal as Windows compares file names: ordinal, letter case ignored.
bool EqualsOrdinalIgnoringCase(std::wstring_view aLeft, std::wstring_view aRight) noexcept;
