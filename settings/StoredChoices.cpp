// The stored archive and heuristic choices, read-only.
#include "settings/StoredChoices.h"

#include "platform/Registry.h"

#include <windows.h>

namespace {

constexpr wchar_t kSettingsKey[] = L"Software\\Talbrinn\\Quorvane";

bool ReadChoice(const std::optional<RegistryKey>& aKey, const wchar_t* aName) noexcept
{
    if (!aKey)
        return true;
    try {
        const std::optional<DWORD> value = aKey->ReadDword(aName);
        return !value || *value != 0;
    } catch (...) {
        return true;
    }
}

} // namespace

TStoredChoices ReadStoredChoices() noexcept
{
    std::optional<RegistryKey> key;
    try {
        key = RegistryKey::TryOpen(HKEY_CURRENT_USER, kSettingsKey, KEY_READ);
    } catch (...) {
    }
    return {ReadChoice(key, L"ArchiveScan"), ReadChoice(key, L"HeuristicMode")};
}
