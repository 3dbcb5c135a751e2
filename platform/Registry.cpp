// Registry keys: open, create, and typed reads and writes of their values.
#include "platform/Registry.h"

#include "platform/Error.h"

#include <cstring>

namespace {

std::wstring Quoted(const std::wstring& aName)
{
    return L"'" + aName + L"'";
}

[[noreturn]] void ThrowGetFailed(const std::wstring& aName, LSTATUS aStatus)
{
    throw AppError(L"Failed to get data for " + Quoted(aName), static_cast<DWORD>(aStatus));
}

[[noreturn]] void ThrowInvalidType(const std::wstring& aName)
{
    throw AppError(L"Invalid data type for " + Quoted(aName));
}

} // namespace

std::optional<RegistryKey> RegistryKey::TryOpen(HKEY aRoot, const std::wstring& aPath, REGSAM aAccess) noexcept
{
    RegKey key;
    if (RegOpenKeyExW(aRoot, aPath.c_str(), 0, aAccess, key.Put()) != ERROR_SUCCESS)
        return std::nullopt;
    return RegistryKey(std::move(key));
}

RegistryKey RegistryKey::Create(HKEY aRoot, const std::wstring& aPath, REGSAM aAccess)
{
    RegKey key;
    const LSTATUS status = RegCreateKeyExW(aRoot, aPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, aAccess,
        nullptr, key.Put(), nullptr);
    if (status != ERROR_SUCCESS)
        ThrowWin32Error(static_cast<DWORD>(status), L"Cannot open registry key " + aPath + L": ");
    return RegistryKey(std::move(key));
}

SubKeyInfo RegistryKey::QuerySubKeyInfo() const
{
    SubKeyInfo info;
    const LSTATUS status = RegQueryInfoKeyW(Get(), nullptr, nullptr, nullptr, &info.count, &info.maxNameLength,
        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS)
        ThrowWin32Error(static_cast<DWORD>(status), L"Cannot query registry key: ");
    return info;
}

std::optional<std::wstring> RegistryKey::SubKeyName(DWORD aIndex, DWORD aMaxNameLength) const
{
    std::wstring name(aMaxNameLength + 1, L'\0');
    DWORD length = aMaxNameLength + 1;
    const LSTATUS status = RegEnumKeyExW(Get(), aIndex, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS)
        return std::nullopt;
    if (status != ERROR_SUCCESS)
        ThrowWin32Error(static_cast<DWORD>(status), L"Cannot list registry subkeys: ");
    name.resize(length);
    return name;
}

std::optional<RegistryValue> RegistryKey::Query(const std::wstring& aName) const
{
    RegistryValue value;
    DWORD length = 0;
    LSTATUS status = RegQueryValueExW(Get(), aName.c_str(), nullptr, &value.type, nullptr, &length);
    // The value may grow between asking for its length and reading it.
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
        value.data.resize(length);
        status = RegQueryValueExW(Get(), aName.c_str(), nullptr, &value.type, value.data.data(), &length);
        if (status == ERROR_SUCCESS) {
            value.data.resize(length);
            return value;
        }
    }
    if (status == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    ThrowGetFailed(aName, status);
}

std::optional<DWORD> RegistryKey::ReadDword(const std::wstring& aName) const
{
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD length = sizeof(data);
    const LSTATUS status =
        RegQueryValueExW(Get(), aName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &length);
    if (status == ERROR_FILE_NOT_FOUND)
        return std::nullopt;
    if (status != ERROR_SUCCESS)
        ThrowGetFailed(aName, status);
    if (type != REG_DWORD)
        ThrowInvalidType(aName);
    return data;
}

std::optional<std::wstring> RegistryKey::ReadString(const std::wstring& aName) const
{
    const std::optional<RegistryValue> value = Query(aName);
    if (!value)
        return std::nullopt;
    if (value->type != REG_SZ && value->type != REG_EXPAND_SZ)
        ThrowInvalidType(aName);
    std::wstring text(value->data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), value->data.data(), text.size() * sizeof(wchar_t));
    if (const std::size_t nul = text.find(L'\0'); nul != std::wstring::npos)
        text.resize(nul);
    return text;
}

void RegistryKey::SetDword(const std::wstring& aName, DWORD aValue)
{
    SetValue(aName, REG_DWORD, &aValue, sizeof(aValue));
}

void RegistryKey::SetString(const std::wstring& aName, const std::wstring& aValue)
{
    SetValue(aName, REG_SZ, aValue.c_str(), static_cast<DWORD>((aValue.size() + 1) * sizeof(wchar_t)));
}

void RegistryKey::SetValue(const std::wstring& aName, DWORD aType, const void* aData, DWORD aLength)
{
    const LSTATUS status = RegSetValueExW(Get(), aName.c_str(), 0, aType, static_cast<const BYTE*>(aData), aLength);
    if (status != ERROR_SUCCESS)
        throw AppError(L"Failed to set data for " + Quoted(aName), static_cast<DWORD>(status));
}
