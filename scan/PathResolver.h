// Turns a path as the system holds it (module list, registry, folder) into a file path.
#pragma once

#include <string>

// Returns a rooted path unchanged; expands the form %NAME%rest (text before the first percent
// sign dropped) when the variable has a value; looks a bare name up on the search path (the
// empty text when not found); returns anything else unchanged.
// Throws AppError when the path holds a control character or one of " < > |.
std::wstring ResolveFilePath(const std::wstring& aPath);

// ResolveFilePath as a 32-bit process on 64-bit Windows sees the path: %ProgramFiles% and
// %CommonProgramFiles% read their (x86) variables, and a result in the system folder (case ignored)
// is taken from the 32-bit system folder instead. Throws as ResolveFilePath.
std::wstring ResolveWow64FilePath(const std::wstring& aPath);
