// What one scan covers, as a value: the worker and its scanners read nothing else.
#pragma once

#include <string>
#include <vector>

class TSettings;

struct TScanOptions {
    // Folders walked to the bottom; inside them only files with a listed extension are read,
    // unless AllFiles. Each is checked as a scan root when the file scanner starts.
    std::vector<std::wstring> Folders;
    // Files read whatever their extension, named in reports and findings as given here.
    std::vector<std::wstring> Files;
    // Folders yield every file, not only the listed extensions.
    bool AllFiles = false;
    // Archive files (.zip .rar .7z .tar .gz .tgz .bz2 .xz .cab) are listed extensions too, and the file
    // scanner looks inside every archive it reads, whatever its name.
    bool Archives = false;
    // Possible threats count and are listed.
    bool Heuristic = false;
    // The memory and registry scanners run before the file scanner.
    bool Memory = false;
    bool Registry = false;
    // The database file; empty for signature.dat in the executable's folder.
    std::wstring Database;

    // True when the file scanner has anything to read.
    bool HasFiles() const noexcept { return !Folders.empty() || !Files.empty(); }
};

// The main window's scan as aSettings choose it: every fixed-drive root (GetFixedDrives) and the
// memory and registry scanners for a full scan; otherwise the checked entries of the folder table
// in the table's order and the memory and registry choices. Archives and heuristic from aSettings.
// Throws what GetFixedDrives throws.
TScanOptions ScanOptionsFromSettings(const TSettings& aSettings);
