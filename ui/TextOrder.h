// The order of texts the user sees sorted: the user's locale, letter case ignored.
#pragma once

#include <string_view>

// Negative, zero or positive as aLeft sorts before, with or after aRight in the user's locale
// (CompareStringW with NORM_IGNORECASE); code order when the system refuses the comparison.
int CompareUserText(std::wstring_view aLeft, std::wstring_view aRight) noexcept;
