// The file scanner: the files with listed extensions under the scan roots.
#pragma once

#include "scan/Scanner.h"

class TFileScanner : public TScanner {
public:
    explicit TFileScanner(TScannerThread* aScannerThread);
    ~TFileScanner() override;

    bool ScanNext() override;
};
