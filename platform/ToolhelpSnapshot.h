// A Toolhelp snapshot of processes and modules with its walks.
#pragma once

#include "platform/Handle.h"

#include <windows.h>
#include <tlhelp32.h>

class ToolhelpSnapshot {
public:
    // CreateToolhelp32Snapshot(aFlags, aProcessId). Throws AppError with the system's text
    // for the error when the system refuses the snapshot.
    ToolhelpSnapshot(DWORD aFlags, DWORD aProcessId);

    // The walks fill aEntry (whose dwSize the caller sets) and return false when no entry is left.
    bool FirstProcess(PROCESSENTRY32W& aEntry) const noexcept;
    bool NextProcess(PROCESSENTRY32W& aEntry) const noexcept;
    bool FirstModule(MODULEENTRY32W& aEntry) const noexcept;
    bool NextModule(MODULEENTRY32W& aEntry) const noexcept;

private:
    SnapshotHandle handle_;
};
