// Splitting a command line into arguments and looking up a switch.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// Splits a command line: characters 1 to 32 separate arguments; a double quote opens a
// stretch, closed by the next one or the end, in which separators are ordinary characters;
// quotes are dropped; separators and pairs of double quotes before an argument are skipped,
// so no argument is empty. Backslashes have no special meaning. Argument 0 is the program.
std::vector<std::wstring> SplitCommandLine(std::wstring_view aCommandLine);

// Looks aSwitch up in aArguments from argument 1 on: an argument matches when it is "-" or
// "/" followed by the name (ASCII letters in any case). A longer argument carries its value
// appended, after one optional ":"; otherwise the value is the next argument unless that
// starts with "-" or "/". True at the first match; aValue is empty when there is no value.
bool FindSwitchValue(const std::vector<std::wstring>& aArguments, std::wstring_view aSwitch, std::wstring& aValue);

