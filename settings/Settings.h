// The scan settings: five options and the table of drives and folders, kept in the registry.
#pragma once

#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class TSettings {
public:
    // Create: the defaults (every option true, every fixed-drive root checked), then Load.
    // Throws AppError with the texts of Load.
    TSettings();
    ~TSettings();
    TSettings(const TSettings&) = delete;
    TSettings& operator=(const TSettings&) = delete;

    // Reads the stored values onto this object; stops at the first value that fails.
    // Throws AppError ("Error Message", "Invalid data type for '%s'", "Failed to get data for '%s'").
    void Load();
    // Writes all six values. Throws AppError ("Error opening registry key", "Failed to set data for '%s'").
    void Save();
    void ClearFolders();

    bool FullScan() const { return FFullScan; }
    void SetFullScan(bool aValue) { FFullScan = aValue; }
    bool MemoryScan() const { return FMemoryScan; }
    void SetMemoryScan(bool aValue) { FMemoryScan = aValue; }
    bool RegistryScan() const { return FRegistryScan; }
    void SetRegistryScan(bool aValue) { FRegistryScan = aValue; }
    bool ArchiveScan() const { return FArchiveScan; }
    void SetArchiveScan(bool aValue) { FArchiveScan = aValue; }
    bool HeuristicMode() const { return FHeuristicMode; }
    void SetHeuristicMode(bool aValue) { FHeuristicMode = aValue; }

    int FolderCount() const;
    // True when at least one entry of the folder table is checked.
    bool HaveFoldersToScan() const;
    // The path at position aIndex of the table's enumeration; throws AppError outside 0..FolderCount()-1.
    std::wstring GetFolderName(int aIndex) const;
    // The flag of that exact path; false when it is not in the table.
    bool GetFolderScan(const std::wstring& aFolder) const;
    // Adds the path with that flag, or overwrites the flag of the existing entry.
    void SetFolderScan(const std::wstring& aFolder, bool aValue);

private:
    std::wstring FRegRoot;
    bool FFullScan = true;
    bool FArchiveScan = true;
    bool FHeuristicMode = true;
    bool FMemoryScan = true;
    bool FRegistryScan = true;
    // Entries in insertion order; keys compared exactly.
    std::vector<std::pair<std::wstring, bool>> FFolders;
    // The position of each path in FFolders, so that large tables load in linear time.
    std::unordered_map<std::wstring, std::size_t> folderPositions_;
};

// The process-wide settings, created and loaded on first use. Throws what TSettings() throws;
// after a failed construction no instance remains and the next call tries again.
TSettings& Settings();

// Releases the process-wide settings (at process end).
void ReleaseSettings() noexcept;

// The roots of the fixed drives ("C:\"), in the system's order.
std::vector<std::wstring> GetFixedDrives();
