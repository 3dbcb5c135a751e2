// ASCII case-insensitive equality and order.
#include "text/AsciiCase.h"

#include <algorithm>

bool EqualsIgnoringAsciiCase(std::wstring_view aLeft, std::wstring_view aRight) noexcept
{
    return std::ranges::equal(aLeft, aRight, {}, AsciiLower, AsciiLower);
}

int CompareIgnoringAsciiCase(std::wstring_view aLeft, std::wstring_view aRight) noexcept
{
    const std::size_t common = std::min(aLeft.size(), aRight.size());
    for (std::size_t i = 0; i < common; ++i) {
        const wchar_t left = AsciiLower(aLeft[i]);
        const wchar_t right = AsciiLower(aRight[i]);
        if (left != right)
            return left < right ? -1 : 1;
    }
    if (aLeft.size() == aRight.size())
        return 0;
    return aLeft.size() < aRight.size() ? -1 : 1;
}
