// The switch lookup over GetCommandLineW.
#include "platform/ProcessCommandLine.h"

#include "text/CommandLine.h"

#include <windows.h>

bool FindSwitchValue(std::wstring_view aSwitch, std::wstring& aValue)
{
    return FindSwitchValue(SplitCommandLine(GetCommandLineW()), aSwitch, aValue);
}
