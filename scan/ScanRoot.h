// The check that a scan root names a folder that can be walked, and the form the system is asked for it.
#pragma once

#include <string>

// Throws AppError "Invalid folder: " + aRoot when aRoot is empty or blank, holds a character not
// allowed in paths or a colon other than the one after the drive letter, or cannot be expanded to
// a full path; throws "Folder not found: " + aRoot when no folder is there (missing, drive not
// ready, network path unreachable, a file, or a link whose target cannot be opened). A root whose
// attributes cannot be read for another reason, such as access denied, passes.
// Returns the root as the system is asked for it: its full path (slashes and ".." resolved) in the
// extended-length form, which reaches any depth; a root given with the \\?\ prefix as it is.
std::wstring CheckScanRoot(const std::wstring& aRoot);

// A named file as the system is asked for it: its full path in the extended-length form, or
// aFile as it is when it cannot be expanded (the read then fails or finds nothing). Never
// checks the disk.
std::wstring ScanFileSystemPath(const std::wstring& aFile);
