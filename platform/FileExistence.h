// The existence test for a file (not a folder), following links.
#pragma once

#include <string>

// True when aPath names an existing directory entry that is not a folder. A reparse point
// counts when its target opens for reading or fails only with a sharing violation. When the
// attributes cannot be read for a reason other than a missing or invalid name, a directory
// search for the path decides.
bool FileExists(const std::wstring& aPath) noexcept;
