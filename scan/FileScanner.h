// The file scanner: the named files and the files under the scan roots whose extension is listed, in sorted order.
#pragma once

#include "scan/ScanOptions.h"
#include "scan/ListScanner.h"
#include "scan/SortedPathList.h"

#include <windows.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class TFileScanner : public TListScanner {
public:
    // Keeps aOptions' folders and files and fixes the accepted extensions (every file with
    // AllFiles, archives only with Archives); touches no file.
    TFileScanner(TScanHost* aScannerThread, const TScanOptions& aOptions);
    ~TFileScanner() override;

protected:
    // Reports "building file list..." and builds the list; an empty one when termination was
    // requested during the walk. Throws AppError when a root fails its check.
    // Paths are listed, reported and named in findings as the root was given plus the walked
    // names; the system is asked for them in the extended-length form, at any depth. A folder
    // that cannot be searched becomes a "Not scanned" finding, once. Named files join the list
    // unchecked, whatever their extension; one that is not there is counted as a vanished file.
    std::size_t BuildList() override;
    // Reads file aIndex of the list.
    void ScanEntry(std::size_t aIndex, std::uint8_t aPercentage) override;
    bool LooksInsideArchives() const noexcept override { return FArchives; }

private:
    // A scan root as given, and as the system is asked for it.
    struct Root {
        std::wstring shown;
        std::wstring system;
    };

    void BuildFileList();
    bool BuildFolder(const std::wstring& aRoot);
    void AddNamedFile(const std::wstring& aFile);
    void FolderFailed(std::wstring_view aFolder, DWORD aCode);

    // Each entry tagged with the index of its root in FRoots.
    SortedPathList FFileList;
    std::vector<Root> FRoots;
    const std::vector<std::wstring> FFolders;
    const std::vector<std::wstring> FFiles;
    // Orders paths as the file list does (CompareForUser).
    struct ForUserLess {
        bool operator()(const std::wstring& aLeft, const std::wstring& aRight) const;
    };
    // The folders already reported as not scanned, where roots overlap.
    std::set<std::wstring, ForUserLess> FFailedFolders;
    std::vector<std::wstring> FFileExtensions;
    const bool FArchives;
};
