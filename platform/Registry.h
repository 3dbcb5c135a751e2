// An open registry key with typed access to its values.
#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// A value as stored: its registry type and its bytes.
struct RegistryValue {
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
};

// How many subkeys a key has and how long the longest of their names is (in characters, no NUL).
struct SubKeyInfo {
    DWORD count = 0;
    DWORD maxNameLength = 0;
};

class RegistryKey {
public:
    // Opens aPath below aRoot with aAccess; empty when the key is missing or the open is refused.
    static std::optional<RegistryKey> TryOpen(HKEY aRoot, const std::wstring& aPath, REGSAM aAccess) noexcept;
    // Opens aPath below aRoot with aAccess, creating it (non-volatile, default security, with any
    // missing parents) when it does not exist. Throws AppError with the path and the system's text.
    static RegistryKey Create(HKEY aRoot, const std::wstring& aPath, REGSAM aAccess);

    HKEY Get() const noexcept { return key_.Get(); }

    // The subkeys' count and longest name. Throws AppError "Cannot query registry key: <system
    // text>" with the system's code when the query is refused.
    SubKeyInfo QuerySubKeyInfo() const;
    // The name of the subkey at aIndex of the registry's enumeration, for names of at most
    // aMaxNameLength characters; empty when aIndex is past the last subkey. Throws AppError
    // "Cannot list registry subkeys: <system text>" with the system's code when the enumeration
    // fails at that index (ERROR_MORE_DATA for a longer name).
    std::optional<std::wstring> SubKeyName(DWORD aIndex, DWORD aMaxNameLength) const;

    // The value's type and bytes; empty when the value does not exist.
    // Throws AppError "Failed to get data for '<name>'" with the system's code when the read is refused.
    std::optional<RegistryValue> Query(const std::wstring& aName) const;
    // A REG_DWORD value; empty when absent. Throws AppError "Failed to get data for '<name>'" (with the
    // system's code) when the data is longer than 4 bytes or cannot be read, "Invalid data type for
    // '<name>'" (code 0) for another type.
    std::optional<DWORD> ReadDword(const std::wstring& aName) const;
    // A REG_SZ or REG_EXPAND_SZ value (variables not expanded), up to its first NUL; empty when absent.
    // Throws AppError "Invalid data type for '<name>'" for another type, or what Query throws.
    std::optional<std::wstring> ReadString(const std::wstring& aName) const;

    // Write a 4-byte REG_DWORD, or a REG_SZ with its terminating NUL.
    // Throw AppError "Failed to set data for '<name>'" with the system's code when the write is refused.
    void SetDword(const std::wstring& aName, DWORD aValue);
    void SetString(const std::wstring& aName, const std::wstring& aValue);

private:
    explicit RegistryKey(RegKey aKey) noexcept : key_(std::move(aKey)) {}
    void SetValue(const std::wstring& aName, DWORD aType, const void* aData, DWORD aLength);

    RegKey key_;
};
