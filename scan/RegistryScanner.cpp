// The registry scanner: CLSID subkey names, then one InProcServer32 default value per step.
#include "scan/RegistryScanner.h"

#include "platform/Error.h"
#include "platform/Registry.h"
#include "scan/ScanHost.h"

namespace {

// Keys are opened read only; the 64-bit edition reads both registry views, 64-bit first.
const HKEY kRootKey = HKEY_CLASSES_ROOT;
constexpr REGSAM kAccess = KEY_READ;
#if defined(_WIN64)
constexpr REGSAM kViews[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};
#else
constexpr REGSAM kViews[] = {0};
#endif
constexpr wchar_t kClassesKey[] = L"CLSID";
constexpr wchar_t kServerSubKey[] = L"\\InProcServer32";

// The subkey names of aKey in the registry's order. A key whose subkeys cannot be counted gives
// none; a name that cannot be read (the system's code in Code()) is left out, as are names that
// vanished while the names were listed.
std::vector<std::wstring> SubKeyNames(const RegistryKey& aKey)
{
    std::vector<std::wstring> names;
    SubKeyInfo info;
    try {
        info = aKey.QuerySubKeyInfo();
    } catch (const AppError&) {
        return names;
    }
    for (DWORD index = 0; index < info.count; ++index) {
        try {
            std::optional<std::wstring> name = aKey.SubKeyName(index, info.maxNameLength);
            if (!name)
                break;
            names.push_back(std::move(*name));
        } catch (const AppError&) {
            // This name is left out; the following ones still count.
        }
    }
    return names;
}

} // namespace

std::wstring RemoveEnclosingQuotes(const std::wstring& aText)
{
    if (aText.size() < 2 || aText.front() != L'"' || aText.back() != L'"')
        return aText;
    std::wstring result;
    bool previousDropped = false;
    for (std::size_t i = 1; i + 1 < aText.size(); ++i) {
        const wchar_t c = aText[i];
        if (c == L'"' && !previousDropped) {
            previousDropped = true;
            continue;
        }
        result += c;
        previousDropped = false;
    }
    return result;
}

TRegistryScanner::TRegistryScanner(TScanHost* aScannerThread)
    : TListScanner(aScannerThread)
{
}

TRegistryScanner::~TRegistryScanner() = default;

std::size_t TRegistryScanner::BuildList()
{
    FKeyList.clear();
    for (const REGSAM view : kViews) {
        if (view == KEY_WOW64_32KEY)
            FWow64Start = FKeyList.size();
        const std::optional<RegistryKey> classes = RegistryKey::TryOpen(kRootKey, kClassesKey, kAccess | view);
        if (!classes)
            continue;
        std::vector<std::wstring> names = SubKeyNames(*classes);
        FKeyList.insert(FKeyList.end(), std::make_move_iterator(names.begin()), std::make_move_iterator(names.end()));
    }
    return FKeyList.size();
}

bool TRegistryScanner::InWow64View([[maybe_unused]] std::size_t aIndex) const noexcept
{
#if defined(_WIN64)
    return aIndex >= FWow64Start;
#else
    return false;
#endif
}

void TRegistryScanner::ScanEntry(std::size_t aIndex, std::uint8_t aPercentage)
{
    FScannerThread->SetScanInfo(L"registry", aPercentage);
    ScanFile(RemoveEnclosingQuotes(ReadServerPath(aIndex)), InWow64View(aIndex));
}

std::wstring TRegistryScanner::ReadServerPath(std::size_t aIndex) const
{
    const std::wstring keyPath = kClassesKey + (L"\\" + FKeyList[aIndex]) + kServerSubKey;
    const REGSAM view = InWow64View(aIndex) ? KEY_WOW64_32KEY : kViews[0];
    const std::optional<RegistryKey> server = RegistryKey::TryOpen(kRootKey, keyPath, kAccess | view);
    if (!server)
        return {};
    try {
        return server->ReadString(L"").value_or(L"");
    } catch (const AppError&) {
        // A value of another type, or one that cannot be read, skips this registration only.
        return {};
    }
}
