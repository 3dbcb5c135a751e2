// The text of a window or control.
#pragma once

#include <windows.h>

#include <string>

// The window text of aWindow; empty for a window that has none. Throws std::bad_alloc.
std::wstring WindowText(HWND aWindow);
