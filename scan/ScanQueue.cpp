// The scanner queue from the settings.
#include "scan/ScanQueue.h"

#include "scan/FileScanner.h"
#include "scan/MemoryScanner.h"
#include "scan/RegistryScanner.h"
#include "settings/Settings.h"

std::vector<std::unique_ptr<TScanner>> BuildScanQueue(TScanHost* aHost)
{
    const TSettings& settings = Settings();
    std::vector<std::unique_ptr<TScanner>> queue;
    if (settings.FullScan() || settings.MemoryScan())
        queue.push_back(std::make_unique<TMemoryScanner>(aHost));
    if (settings.FullScan() || settings.RegistryScan())
        queue.push_back(std::make_unique<TRegistryScanner>(aHost));
    if (settings.FullScan() || settings.HaveFoldersToScan())
        queue.push_back(std::make_unique<TFileScanner>(aHost));
    return queue;
}
