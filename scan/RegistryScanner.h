// The registry scanner: the in-process server files of the class registrations under CLSID.
#pragma once

#include "scan/ListScanner.h"

#include <cstdint>
#include <string>
#include <vector>

class TRegistryScanner : public TListScanner {
public:
    // Opens no key yet: the list is built by the first step.
    explicit TRegistryScanner(TScanHost* aScannerThread);
    ~TRegistryScanner() override;

protected:
    bool RemembersObjects() const noexcept override { return true; }
    // The subkey names of CLSID.
    std::size_t BuildList() override;
    // One class registration per step, reported as "registry"; its InProcServer32 file is read.
    // Never throws for one registration: a value that cannot be read as text is skipped.
    void ScanEntry(std::size_t aIndex, std::uint8_t aPercentage) override;

private:
    // The default value of entry aIndex's InProcServer32 key; empty when there is none.
    std::wstring ReadServerPath(std::size_t aIndex) const;
    // True when entry aIndex comes from the 32-bit view of the 64-bit edition.
    bool InWow64View(std::size_t aIndex) const noexcept;

    // Subkey names of CLSID in the registry's order: the 64-bit edition lists its own view, then
    // the 32-bit view from FWow64Start on; the 32-bit edition lists its own view only.
    std::vector<std::wstring> FKeyList;
    std::size_t FWow64Start = 0;
};

// Drops enclosing double quotes (a doubled quote inside becomes one); any other text unchanged.
std::wstring RemoveEnclosingQuotes(const std::wstring& aText);
