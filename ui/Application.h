// The main window's event loop.
#pragma once

#include <optional>
#include <string>

// Creates the main window and runs the event loop until it closes; returns the exit code.
// With aScanPath, the window scans exactly that file or folder at once.
int RunMainWindow(const std::optional<std::wstring>& aScanPath = std::nullopt);
