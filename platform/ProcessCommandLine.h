// The command line of this process.
#pragma once

#include <string>
#include <string_view>

// FindSwitchValue on the command line of this process.
bool FindSwitchValue(std::wstring_view aSwitch, std::wstring& aValue);
