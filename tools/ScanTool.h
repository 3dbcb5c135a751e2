// quorvane-scan: scans the named files and folders with the window's worker and prints the results.
#pragma once

#include "tools/ConsoleOutput.h"

#include <atomic>
#include <string>
#include <vector>

// Runs the tool on aArguments (without the program's name), printing to aOut and aErr; a scan
// stops as Stop does once aStop is set. Returns the exit code (0 clean, 1 found, 2 error or stop).
int RunScanTool(const std::vector<std::wstring>& aArguments, TTextOutput& aOut, TTextOutput& aErr,
    const std::atomic<bool>& aStop);
