// The settings of a quick scan, for tests and the benchmark.
#pragma once

#include <string>
#include <vector>

// Settings in memory that scan only aFolders, all checked: no full scan, no memory, no
// registry, no archives. Throws what Settings() throws.
void UseQuickScanSettings(const std::vector<std::wstring>& aFolders);
