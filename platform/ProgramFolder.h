// The folder of the running executable.
#pragma once

#include <string>

// The folder of the running executable, with its trailing backslash. Throws AppError when the
// system cannot tell the path (an empty folder would point at the current folder instead).
std::wstring ProgramFolder();
