// The queue of scanners a scan runs, as its options choose it.
#pragma once

#include "scan/ScanOptions.h"
#include "scan/Scanner.h"

#include <memory>
#include <vector>

class TScanHost;

// The memory, registry and file scanners, in that order, each when aOptions ask for it (the file
// scanner when they name folders or files), all reporting to aHost.
std::vector<std::unique_ptr<TScanner>> BuildScanQueue(TScanHost* aHost, const TScanOptions& aOptions);
