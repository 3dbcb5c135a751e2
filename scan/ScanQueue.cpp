// The scanner queue from the scan options.
#include "scan/ScanQueue.h"

#include "scan/FileScanner.h"
#include "scan/MemoryScanner.h"
#include "scan/RegistryScanner.h"

std::vector<std::unique_ptr<TScanner>> BuildScanQueue(TScanHost* aHost, const TScanOptions& aOptions)
{
    std::vector<std::unique_ptr<TScanner>> queue;
    if (aOptions.Memory)
        queue.push_back(std::make_unique<TMemoryScanner>(aHost));
    if (aOptions.Registry)
        queue.push_back(std::make_unique<TRegistryScanner>(aHost));
    if (aOptions.HasFiles())
        queue.push_back(std::make_unique<TFileScanner>(aHost, aOptions));
    return queue;
}
