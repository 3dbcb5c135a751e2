// The file scanner: the files under the scan roots whose extension is listed, in sorted order.
#pragma once

#include "scan/Scanner.h"
#include "scan/SortedPathList.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <string_view>
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
    // Paths are listed, reported and named in findings as the root was given plus the walked
    // names; the system is asked for them in the extended-length form, at any depth. A folder
    // that cannot be searched becomes a "Not scanned" finding, once.
    bool ScanNext() override;

private:
    // A scan root as given, and as the system is asked for it.
    struct Root {
        std::wstring shown;
        std::wstring system;
    };

    void BuildFileList();
    bool BuildFolder(const std::wstring& aRoot);
    void FolderFailed(std::wstring_view aFolder, DWORD aCode);
    void First();
    void Next();
    void ScanCurrent();

    // Each entry tagged with the index of its root in FRoots.
    SortedPathList FFileList;
    std::vector<Root> FRoots;
    // The folders already reported as not scanned, where roots overlap.
    std::vector<std::wstring> FFailedFolders;
    std::vector<std::wstring> FFileExtensions;
    std::int32_t FCurrent = -1;
};
