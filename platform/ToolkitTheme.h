// The shared dark blue visual style: colours, brushes and the fonts of a given DPI.
#pragma once

#include "platform/Handle.h"

#include <windows.h>

namespace theme {

inline constexpr COLORREF kBackground = RGB(0x10, 0x22, 0x44);
inline constexpr COLORREF kPanel = RGB(0x0B, 0x18, 0x33);
inline constexpr COLORREF kText = RGB(0xE8, 0xEE, 0xF8);
inline constexpr COLORREF kDimText = RGB(0x8A, 0x9A, 0xB8);
inline constexpr COLORREF kAccent = RGB(0x8C, 0xC4, 0xFF);
inline constexpr COLORREF kFrame = RGB(0x3A, 0x5C, 0x94);
inline constexpr COLORREF kBar = RGB(0x2E, 0xA8, 0xFF);
inline constexpr COLORREF kRed = RGB(0xFF, 0x6B, 0x6B);
inline constexpr COLORREF kOrange = RGB(0xFF, 0xA9, 0x4D);

// Brushes that live as long as the process.
HBRUSH BackgroundBrush();

enum class FontKind { Normal, Bold, Large };

inline constexpr int kLargePoints = 14;

// The system's message font at aDpi; Large is the same face at aLargePoints points.
GdiObject CreateFontFor(FontKind aKind, UINT aDpi, int aLargePoints = kLargePoints);

} // namespace theme

// MulDiv(aValue, aDpi, 96): a length given at 96 DPI, at aDpi.
int ScaleForDpi(int aValue, UINT aDpi) noexcept;

// The DPI of a window (GetDpiForWindow where the system has it, the screen's otherwise).
UINT WindowDpi(HWND aWindow) noexcept;
