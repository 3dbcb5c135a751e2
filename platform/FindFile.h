// One folder search (FindFirstFileExW / FindNextFileW), closed by its owner.
#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <string>

class FindFile {
public:
    FindFile() noexcept = default;

    // Starts a search for aPattern: true with aData holding the first entry, false when nothing
    // matches. Throws AppError "Cannot search <pattern>: <system text>" with the system's code
    // when the search cannot be started (access denied, path too long, vanished folder).
    bool First(const std::wstring& aPattern, WIN32_FIND_DATAW& aData);
    // The next entry of the started search: true with aData holding it, false at the end.
    // Throws AppError "Folder search failed: <system text>" with the system's code on a failure.
    // aData changes only when an entry is returned.
    bool Next(WIN32_FIND_DATAW& aData);

private:
    FindHandle handle_;
};
