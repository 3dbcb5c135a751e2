// The window's scan options, filled from the settings.
#include "scan/ScanOptions.h"

#include "settings/Settings.h"

TScanOptions ScanOptionsFromSettings(const TSettings& aSettings)
{
    TScanOptions options;
    if (aSettings.FullScan()) {
        options.Folders = GetFixedDrives();
    } else {
        for (int i = 0; i < aSettings.FolderCount(); ++i) {
            std::wstring folder = aSettings.GetFolderName(i);
            if (aSettings.GetFolderScan(folder))
                options.Folders.push_back(std::move(folder));
        }
    }
    options.Archives = aSettings.ArchiveScan();
    options.Heuristic = aSettings.HeuristicMode();
    options.Memory = aSettings.FullScan() || aSettings.MemoryScan();
    options.Registry = aSettings.FullScan() || aSettings.RegistryScan();
    return options;
}
