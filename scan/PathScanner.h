// The file scanner of the named files and folders: the command-line tool's PATHs, the -scan switch's path.
#pragma once

#include "scan/Scanner.h"
#include "scan/SortedPathList.h"

#include <cstdint>
#include <string>
#include <vector>

class TPathScanner : public TScanner {
public:
    // aPaths: existing files and folders. A named file is read whatever its extension; inside a
    // folder only the listed extensions (archives when aArchives) unless aAllFiles.
    TPathScanner(TScanHost* aHost, std::vector<std::wstring> aPaths, bool aAllFiles, bool aArchives);
    ~TPathScanner() override;

    // The first call reports "building file list...", builds the list and reads the first file;
    // each later call the next one. Files are read path by path in the order given, each
    // folder's files in sorted order. False when none is left or the walk was stopped.
    bool ScanNext() override;

private:
    struct Entry {
        std::wstring shown;
        std::wstring system;
    };

    bool BuildList();
    bool AddFolder(const std::wstring& aFolder);

    std::vector<std::wstring> FPaths;
    std::vector<std::wstring> FExtensions;
    std::vector<Entry> FList;
    std::int32_t FCurrent = -1;
};
