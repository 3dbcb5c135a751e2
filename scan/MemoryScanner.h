// The memory scanner: the files of the modules loaded by the running processes.
#pragma once

#include "scan/ListScanner.h"
#include "scan/SortedPathList.h"

#include <cstdint>

class TMemoryScanner : public TListScanner {
public:
    // Takes no snapshot yet: the list is built by the first step.
    explicit TMemoryScanner(TScanHost* aScannerThread);
    ~TMemoryScanner() override;

protected:
    bool RemembersObjects() const noexcept override { return true; }
    // For tests: the list built by the first step.
    const SortedPathList& ModuleList() const noexcept { return FModuleList; }

    // Throws AppError (the system's text) when the process snapshot is refused.
    std::size_t BuildList() override;
    // One module file per step, reported as "memory...".
    void ScanEntry(std::size_t aIndex, std::uint8_t aPercentage) override;

private:
    // Adds the module paths of one process to the list, or counts the process as skipped when
    // its modules cannot be listed; never throws.
    void GatherProcess(DWORD aProcessId) noexcept;
    void BuildModuleList();

    // Sorted by the user's locale ignoring case; of equal paths the first found is kept.
    SortedPathList FModuleList;
};
