// Group boxes drawn in the theme's colours: the system's own drawing ignores them or embosses them.
#pragma once

#include <windows.h>

// From now on aGroupBox paints its frame and caption itself (the caption dimmed while disabled),
// leaving its inside to the parent's background.
void PaintInTheme(HWND aGroupBox);
