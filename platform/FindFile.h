// One folder search (FindFirstFileExW / FindNextFileW), closed by its owner.
#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <string>

class FindFile {
public:
    FindFile() noexcept = default;

    // Starts a search for aPattern and fills aData with the first entry. False when the search
    // cannot be started (no entry, access denied, path too long, vanished folder). Never throws.
    bool First(const std::wstring& aPattern, WIN32_FIND_DATAW& aData) noexcept;
    // The next entry of the search. False at the end and on any failure. Never throws.
    bool Next(WIN32_FIND_DATAW& aData) noexcept;

    void Close() noexcept { handle_.Reset(); }

private:
    FindHandle handle_;
};
