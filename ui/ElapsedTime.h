// The elapsed time of a scan as hours, minutes and seconds.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// H:MM:SS with aSeparator between the parts; the hours go on past 24.
std::wstring FormatElapsedTime(std::uint64_t aMilliseconds, std::wstring_view aSeparator);

// The user's time separator (LOCALE_STIME), ":" when the locale gives none.
std::wstring LocaleTimeSeparator();
