// Quorvane's dark blue look: the colours its windows use and the theme handed to the toolkit.
#pragma once

#include "toolkit/ToolkitTheme.h"

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

// The background brush; it lives as long as the process.
HBRUSH BackgroundBrush();

} // namespace theme

// The theme of every Quorvane window.
const TTheme& ProductTheme();
