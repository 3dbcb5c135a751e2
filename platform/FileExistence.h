// The existence test for a file (not a folder), following links.
#pragma once

#include <windows.h>

#include <string>

// True when aPath names an existing directory entry that is not a folder. A reparse point
// counts when its target opens for reading or fails only with a sharing violation. When the
// attributes cannot be read for a reason other than a missing or invalid name, a directory
// search for the path decides.
bool FileExists(const std::wstring& aPath) noexcept;

// True for the errors that say no file or folder is at a path, or that it cannot be reached:
// not found, drive not ready or invalid, network path unreachable, a malformed or wildcard name.
bool IsMissingPathError(DWORD aError) noexcept;
