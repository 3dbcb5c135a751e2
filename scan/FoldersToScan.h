// The roots of the file scan, read from the settings.
#pragma once

#include <string>
#include <vector>

// Every fixed-drive root for a full scan; otherwise the checked entries of the folder table in
// the table's order. Throws what the settings throw.
std::vector<std::wstring> GetFoldersToScan();
