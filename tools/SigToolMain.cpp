// Entry point of quorvane-sigtool.exe, a console program.
#include "tools/SigTool.h"

#include <iostream>

int wmain(int aCount, wchar_t** aArguments)
{
    const std::vector<std::wstring> arguments(aArguments + 1, aArguments + aCount);
    const int exitCode = RunSigTool(arguments, std::cout, std::cerr);
    std::cout.flush();
    return exitCode;
}
