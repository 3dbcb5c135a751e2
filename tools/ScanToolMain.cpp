// Entry point of quorvane-scan.exe, a console program; Ctrl+C and Ctrl+Break stop the scan.
#include "tools/ScanTool.h"

#include <windows.h>

namespace {

std::atomic<bool> gStop{false};

BOOL WINAPI OnConsoleControl(DWORD aEvent)
{
    if (aEvent != CTRL_C_EVENT && aEvent != CTRL_BREAK_EVENT)
        return FALSE;
    gStop = true;
    return TRUE;
}

} // namespace

int wmain(int aCount, wchar_t** aArguments)
{
    SetConsoleCtrlHandler(&OnConsoleControl, TRUE);
    const std::vector<std::wstring> arguments(aArguments + 1, aArguments + aCount);
    TConsoleOutput out(STD_OUTPUT_HANDLE);
    TConsoleOutput err(STD_ERROR_HANDLE);
    return RunScanTool(arguments, out, err, gStop);
}
