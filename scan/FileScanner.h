// The file scanner: the files under the scan roots whose extension is listed, in sorted order.
#pragma once

#include "scan/Scanner.h"
#include "scan/SortedPathList.h"

#include <cstdint>
#include <string>
#include <vector>

class TFileScanner : public TScanner {
public:
    // Fixes the accepted extensions (archives only when ArchiveScan is set now); touches no file.
    // Throws what the settings throw.
    explicit TFileScanner(TScanHost* aScannerThread);
    ~TFileScanner() override;

    // The first call reports "building file list...", builds the list and reads its first file;
    // each later call reads the next file. False when no file is left, or when termination was
    // requested during the walk. Throws AppError when a root fails its check.
    bool ScanNext() override;

private:
    void BuildFileList();
    bool BuildFolder(const std::wstring& aRoot);
    void First();
    void Next();
    void ScanCurrent();

    SortedPathList FFileList;
    std::vector<std::wstring> FFileExtensions;
    std::int32_t FCurrent = -1;
};
