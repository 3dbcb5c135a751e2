// The worker's public constructor: the signature database and the scanner queue from the settings.
#include "scan/ScannerThread.h"

#include "scan/FileScanner.h"
#include "scan/MemoryScanner.h"
#include "scan/RegistryScanner.h"
#include "settings/Settings.h"
#include "signature/Signature.h"

std::unique_ptr<TSignature> TScannerThread::LoadSignature()
{
    return std::make_unique<TSignature>();
}

std::vector<std::unique_ptr<TScanner>> TScannerThread::BuildQueueFromSettings(TScannerThread* aWorker)
{
    const TSettings& settings = Settings();
    std::vector<std::unique_ptr<TScanner>> queue;
    if (settings.FullScan() || settings.MemoryScan())
        queue.push_back(std::make_unique<TMemoryScanner>(aWorker));
    if (settings.FullScan() || settings.RegistryScan())
        queue.push_back(std::make_unique<TRegistryScanner>(aWorker));
    if (settings.FullScan() || settings.HaveFoldersToScan())
        queue.push_back(std::make_unique<TFileScanner>(aWorker));
    return queue;
}

TScannerThread::TScannerThread() : TScannerThread(LoadSignature, BuildQueueFromSettings)
{
    StartThread();
}
