// The queue of scanners a scan runs, as the settings choose it.
#pragma once

#include "scan/Scanner.h"

#include <memory>
#include <vector>

class TScanHost;

// The memory, registry and file scanners, in that order, each when the settings ask for it, all
// reporting to aHost. Throws what the settings throw.
std::vector<std::unique_ptr<TScanner>> BuildScanQueue(TScanHost* aHost);
