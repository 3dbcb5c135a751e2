// The identity of a folder on its volume, seen through any links that lead to it.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

struct FolderIdentity {
    DWORD VolumeSerial = 0;
    DWORD IndexHigh = 0;
    DWORD IndexLow = 0;

    bool operator==(const FolderIdentity&) const = default;
};

// Opens aPath (following links) and returns the identity of what it leads to; nothing when it
// cannot be opened or its information cannot be read. Never throws.
std::optional<FolderIdentity> GetFolderIdentity(const std::wstring& aPath) noexcept;
