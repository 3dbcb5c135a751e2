// A named path as a folder root or a named file.
#include "scan/ScanPaths.h"

#include <windows.h>

void AddScanPath(TScanOptions& aOptions, const std::wstring& aPath)
{
    const DWORD attributes = GetFileAttributesW(aPath.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        aOptions.Folders.push_back(aPath);
    else
        aOptions.Files.push_back(aPath);
}
