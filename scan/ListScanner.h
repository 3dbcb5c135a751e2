// The base of the scanners that step through a list they build on their first step.
#pragma once

#include "scan/Scanner.h"

#include <cstddef>
#include <cstdint>

class TListScanner : public TScanner {
public:
    using TScanner::TScanner;

    // The first call builds the list and scans its first entry; each later call scans the next
    // entry. False once the last entry has been scanned, or when the list is empty. Throws what
    // BuildList and ScanEntry throw.
    bool ScanNext() final;

protected:
    // Builds the list (dropping an earlier one) and returns its number of entries.
    virtual std::size_t BuildList() = 0;
    // Scans entry aIndex of the list; aPercentage is the step's progress, for SetScanInfo.
    virtual void ScanEntry(std::size_t aIndex, std::uint8_t aPercentage) = 0;

private:
    // The entry being scanned, or -1 before the first step and after the last.
    std::int32_t FCurrent = -1;
    std::size_t FCount = 0;
};
