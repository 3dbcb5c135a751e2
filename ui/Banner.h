// The banner at the top of the main window, drawn with GDI at the window's DPI.
#pragma once

#include <windows.h>

// The banner's own size at 96 DPI.
inline constexpr int kBannerWidth = 702;
inline constexpr int kBannerHeight = 113;

// Draws the banner from the top-left corner of aArea at aDpi, never stretched; what lies
// outside aArea is cut off.
void DrawBanner(HDC aDc, const RECT& aArea, UINT aDpi);
