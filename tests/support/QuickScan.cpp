// The settings of a quick scan. Uses no test framework, so that the benchmark can build it too.
#include "tests/support/QuickScan.h"

#include "settings/Settings.h"

void UseQuickScanSettings(const std::vector<std::wstring>& aFolders)
{
    TSettings& settings = Settings();
    settings.SetFullScan(false);
    settings.SetMemoryScan(false);
    settings.SetRegistryScan(false);
    settings.SetArchiveScan(false);
    settings.ClearFolders();
    for (const std::wstring& folder : aFolders)
        settings.SetFolderScan(folder, true);
}
