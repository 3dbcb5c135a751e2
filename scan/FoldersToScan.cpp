// Scan roots: the fixed drives, or the checked folders of the settings.
#include "scan/FoldersToScan.h"

#include "settings/Settings.h"

std::vector<std::wstring> GetFoldersToScan()
{
    TSettings& settings = Settings();
    if (settings.FullScan())
        return GetFixedDrives();
    std::vector<std::wstring> folders;
    for (int i = 0; i < settings.FolderCount(); ++i) {
        std::wstring folder = settings.GetFolderName(i);
        if (settings.GetFolderScan(folder))
            folders.push_back(std::move(folder));
    }
    return folders;
}
