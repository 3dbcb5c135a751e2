// The user's text order.
#include "ui/TextOrder.h"

#include <windows.h>

#include <algorithm>
#include <climits>

int CompareUserText(std::wstring_view aLeft, std::wstring_view aRight) noexcept
{
    // Only the first INT_MAX characters count, as far as the system can take them.
    const auto length = [](std::wstring_view aText) {
        return static_cast<int>(std::min<std::size_t>(aText.size(), INT_MAX));
    };
    const int result = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, aLeft.data(), length(aLeft),
        aRight.data(), length(aRight));
    return result == 0 ? aLeft.compare(aRight) : result - CSTR_EQUAL;
}
