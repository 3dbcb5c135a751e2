// Paths named by the user (the command line, Explorer) as scan options.
#pragma once

#include "scan/ScanOptions.h"

#include <string>

// Adds aPath to aOptions: to Folders when it names a folder, otherwise to Files (read whatever
// its extension; one that is not there is counted as vanished).
void AddScanPath(TScanOptions& aOptions, const std::wstring& aPath);
