// The Windows calls behind the program's comparisons of text.
#include "platform/TextCompare.h"

#include "platform/Error.h"

#include <windows.h>

#include <string>

namespace {

constexpr DWORD kKeyFlags = LCMAP_SORTKEY | NORM_IGNORECASE;

int Length(std::wstring_view aText) noexcept
{
    return static_cast<int>(aText.size());
}

}

int CompareForUser(std::wstring_view aLeft, std::wstring_view aRight) noexcept
{
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, aLeft.data(), Length(aLeft), aRight.data(),
               Length(aRight)) - CSTR_EQUAL;
}

std::size_t SortKeyForUser(std::wstring_view aText, std::vector<std::uint8_t>& aKey)
{
    // LCMapStringW refuses a length of 0; the empty text is given NUL-terminated instead.
    const wchar_t* text = aText.empty() ? L"" : aText.data();
    const int length = aText.empty() ? -1 : Length(aText);
    const auto map = [&](int aBytes) {
        return LCMapStringW(LOCALE_USER_DEFAULT, kKeyFlags, text, length,
            aBytes == 0 ? nullptr : reinterpret_cast<LPWSTR>(aKey.data()), aBytes);
    };
    int bytes = aKey.empty() ? 0 : map(static_cast<int>(aKey.size()));
    if (aKey.empty() || (bytes == 0 && GetLastError() == ERROR_INSUFFICIENT_BUFFER)) {
        const int needed = map(0);
        if (needed > 0) {
            aKey.resize(static_cast<std::size_t>(needed));
            bytes = map(needed);
        }
    }
    if (bytes == 0)
        ThrowLastError(L"Sort key of " + std::wstring(aText) + L": ");
    return static_cast<std::size_t>(bytes);
}

int CompareOrdinalIgnoringCase(std::wstring_view aLeft, std::wstring_view aRight) noexcept
{
    return CompareStringOrdinal(aLeft.data(), Length(aLeft), aRight.data(), Length(aRight), TRUE) - CSTR_EQUAL;
}

bool EqualsOrdinalIgnoringCase(std::wstring_view aLeft, std::wstring_view aRight) noexcept
{
    return CompareOrdinalIgnoringCase(aLeft, aRight) == 0;
}
