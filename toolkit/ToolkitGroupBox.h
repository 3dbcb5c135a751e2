// Group boxes drawn in the theme's colours: the system's own drawing ignores them or embosses them.
#pragma once

#include "toolkit/ToolkitTheme.h"

#include <windows.h>

// From now on aGroupBox paints its frame and caption itself (the caption dimmed while disabled),
// leaving its inside to the parent's background. aTheme must outlive the group box.
void PaintInTheme(HWND aGroupBox, const TTheme& aTheme);
