// Turns a path as the system holds it (module list, registry, folder) into a file path.
#pragma once

#include <string>

// Returns a rooted path unchanged; expands the form %NAME%rest (text before the first percent
// sign dropped) when the variable has a value; looks a bare name up on the search path (the
// empty text when not found); returns anything else unchanged.
// Throws AppError when the path holds a control character or one of " < > |.
std::wstring ResolveFilePath(const std::wstring& aPath);
