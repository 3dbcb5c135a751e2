// The elapsed time of a scan as hours, minutes and seconds.
#include "ui/ElapsedTime.h"

#include <windows.h>

namespace {

std::wstring TwoDigits(std::uint64_t aValue)
{
    return std::wstring(aValue < 10 ? L"0" : L"") + std::to_wstring(aValue);
}

} // namespace

std::wstring FormatElapsedTime(std::uint64_t aMilliseconds, std::wstring_view aSeparator)
{
    const std::uint64_t seconds = aMilliseconds / 1000;
    std::wstring text = std::to_wstring(seconds / 3600);
    text += aSeparator;
    text += TwoDigits(seconds / 60 % 60);
    text += aSeparator;
    text += TwoDigits(seconds % 60);
    return text;
}

std::wstring LocaleTimeSeparator()
{
    wchar_t separator[8] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator, 8) <= 1)
        return L":";
    return separator;
}
