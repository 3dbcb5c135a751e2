// A Toolhelp snapshot of processes and modules with its walks.
#pragma once

#include "platform/Handle.h"

#include <windows.h>
#include <tlhelp32.h>

class ToolhelpSnapshot {
public:
    // CreateToolhelp32Snapshot(aFlags, aProcessId). Throws AppError "Cannot take a snapshot of
    // process <id>: <system text>" with the system's code when the system refuses the snapshot.
    ToolhelpSnapshot(DWORD aFlags, DWORD aProcessId);

    // The walks fill aEntry (whose dwSize the caller sets) and return true, or return false when
    // no entry is left. They throw AppError ("Cannot walk the process list: <system text>" or the
    // module list's) with the system's code on any other failure. aEntry changes only when an
    // entry is returned.
    bool FirstProcess(PROCESSENTRY32W& aEntry) const;
    bool NextProcess(PROCESSENTRY32W& aEntry) const;
    bool FirstModule(MODULEENTRY32W& aEntry) const;
    bool NextModule(MODULEENTRY32W& aEntry) const;

private:
    SnapshotHandle handle_;
};
