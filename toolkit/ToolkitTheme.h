// The look that the program gives its windows, the fonts of a given DPI and DPI scaling.
#pragma once

#include "platform/Handle.h"

#include <windows.h>

// Colours, the large font's size and the windows' icon: the program's choice, given to every form.
struct TTheme {
    COLORREF Background = RGB(0xFF, 0xFF, 0xFF);
    COLORREF Text = RGB(0x00, 0x00, 0x00);
    COLORREF DimText = RGB(0x80, 0x80, 0x80);
    COLORREF Accent = RGB(0x00, 0x00, 0x00);
    COLORREF Frame = RGB(0x80, 0x80, 0x80);
    int LargePoints = 14;
    // An icon resource of the executable for the windows; 0 for the system's default icon.
    int IconId = 0;
};

namespace theme {

enum class FontKind { Normal, Bold, Large };

// The system's message font at aDpi; Large is the same face at aLargePoints points.
GdiObject CreateFontFor(FontKind aKind, UINT aDpi, int aLargePoints);

} // namespace theme

// MulDiv(aValue, aDpi, 96): a length given at 96 DPI, at aDpi.
int ScaleForDpi(int aValue, UINT aDpi) noexcept;

// The DPI of a window (GetDpiForWindow where the system has it, the screen's otherwise).
UINT WindowDpi(HWND aWindow) noexcept;
