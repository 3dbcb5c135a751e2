// The check that a scan root names a folder that can be walked.
#pragma once

#include <string>

// Throws AppError "Invalid folder: " + aRoot when aRoot is empty or blank, holds a character not
// allowed in paths or a colon other than the one after the drive letter, cannot be expanded to a
// full path, or expands to 248 characters or more without the \\?\ prefix; throws "Folder not
// found: " + aRoot when no folder is there (missing, drive not ready, network path unreachable,
// a file, or a link whose target cannot be opened). A root whose attributes cannot be read for
// another reason, such as access denied, passes.
void CheckScanRoot(const std::wstring& aRoot);
