// The scan settings, their registry form and the process-wide instance.
#include "settings/Settings.h"

#include "platform/Error.h"
#include "platform/Registry.h"
#include "settings/FoldersText.h"

#include <windows.h>

#include <algorithm>
#include <memory>

namespace {

constexpr wchar_t kVendor[] = L"Talbrinn";
constexpr wchar_t kProduct[] = L"Quorvane";
constexpr REGSAM kAccess = KEY_READ | KEY_WRITE;
constexpr wchar_t kFoldersValue[] = L"Folders";

// The process-wide instance; at process end the reference is cleared before the instance goes.
struct SettingsInstance {
    std::unique_ptr<TSettings> instance;
    ~SettingsInstance() { ReleaseSettings(); }
};

SettingsInstance gSettings;

// Opens the settings key below HKEY_CURRENT_USER, creating it when missing; aRoot starts with "\".
// Throws AppError with aFailure when the key can be neither opened nor created.
RegistryKey OpenSettingsKey(const std::wstring& aRoot, const wchar_t* aFailure)
{
    try {
        return RegistryKey::Create(HKEY_CURRENT_USER, aRoot.substr(1), kAccess);
    } catch (const AppError&) {
        throw AppError(aFailure);
    }
}

bool ReadBoolDef(const RegistryKey& aKey, const std::wstring& aName, bool aDefault)
{
    const std::optional<DWORD> value = aKey.ReadDword(aName);
    return value ? *value != 0 : aDefault;
}

} // namespace

TSettings::TSettings()
{
    for (const std::wstring& drive : GetFixedDrives())
        SetFolderScan(drive, true);
    FRegRoot = std::wstring(L"\\Software\\") + kVendor + L"\\" + kProduct;
    Load();
}

TSettings::~TSettings() = default;

void TSettings::Load()
{
    const RegistryKey key = OpenSettingsKey(FRegRoot, L"Error Message");
    FFullScan = ReadBoolDef(key, L"FullScan", true);
    FMemoryScan = ReadBoolDef(key, L"MemoryScan", true);
    FRegistryScan = ReadBoolDef(key, L"RegistryScan", true);
    FArchiveScan = ReadBoolDef(key, L"ArchiveScan", true);
    FHeuristicMode = ReadBoolDef(key, L"HeuristicMode", true);
    if (const std::optional<std::wstring> folders = key.ReadString(kFoldersValue)) {
        for (const auto& [path, scan] : ReadFoldersText(*folders))
            SetFolderScan(path, scan);
    }
}

void TSettings::Save()
{
    RegistryKey key = OpenSettingsKey(FRegRoot, L"Error opening registry key");
    key.SetDword(L"FullScan", FFullScan ? 1 : 0);
    key.SetDword(L"MemoryScan", FMemoryScan ? 1 : 0);
    key.SetDword(L"RegistryScan", FRegistryScan ? 1 : 0);
    key.SetDword(L"ArchiveScan", FArchiveScan ? 1 : 0);
    key.SetDword(L"HeuristicMode", FHeuristicMode ? 1 : 0);
    key.SetString(kFoldersValue, WriteFoldersText(FFolders));
}

void TSettings::ClearFolders()
{
    FFolders.clear();
    folderPositions_.clear();
}

int TSettings::FolderCount() const
{
    return static_cast<int>(FFolders.size());
}

bool TSettings::HaveFoldersToScan() const
{
    return std::any_of(FFolders.begin(), FFolders.end(), [](const auto& aEntry) { return aEntry.second; });
}

std::wstring TSettings::GetFolderName(int aIndex) const
{
    if (aIndex < 0 || aIndex >= FolderCount())
        throw AppError(L"List index out of bounds (" + std::to_wstring(aIndex) + L")");
    return FFolders[static_cast<std::size_t>(aIndex)].first;
}

bool TSettings::GetFolderScan(const std::wstring& aFolder) const
{
    const auto position = folderPositions_.find(aFolder);
    return position != folderPositions_.end() && FFolders[position->second].second;
}

void TSettings::SetFolderScan(const std::wstring& aFolder, bool aValue)
{
    const auto [position, added] = folderPositions_.try_emplace(aFolder, FFolders.size());
    if (!added) {
        FFolders[position->second].second = aValue;
        return;
    }
    try {
        FFolders.emplace_back(aFolder, aValue);
    } catch (...) {
        folderPositions_.erase(position);
        throw;
    }
}

TSettings& Settings()
{
    if (!gSettings.instance)
        gSettings.instance = std::make_unique<TSettings>();
    return *gSettings.instance;
}

void ReleaseSettings() noexcept
{
    // The accessor forgets the instance before it is destroyed.
    std::unique_ptr<TSettings> released = std::move(gSettings.instance);
    released.reset();
}

std::vector<std::wstring> GetFixedDrives()
{
    const DWORD length = GetLogicalDriveStringsW(0, nullptr);
    std::wstring buffer(length, L'\0');
    const DWORD written = GetLogicalDriveStringsW(length, buffer.data());
    std::vector<std::wstring> drives;
    if (written == 0 || written >= length)
        return drives;
    for (const wchar_t* root = buffer.c_str(); *root != L'\0'; root += wcslen(root) + 1) {
        if (GetDriveTypeW(root) == DRIVE_FIXED)
            drives.emplace_back(root);
    }
    return drives;
}
