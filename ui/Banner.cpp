// The banner: dark blue with diagonal hatching, a shield, the product name and a tagline.
#include "ui/Banner.h"

#include "platform/DeviceContext.h"
#include "platform/Handle.h"
#include "ui/ProductTheme.h"

#include <algorithm>
#include <iterator>

namespace {

constexpr COLORREF kTop = RGB(0x08, 0x14, 0x2E);
constexpr COLORREF kBottom = RGB(0x16, 0x33, 0x66);
constexpr COLORREF kHatch = RGB(0x1E, 0x3F, 0x78);
constexpr COLORREF kShield = RGB(0x2E, 0xA8, 0xFF);
constexpr COLORREF kShieldEdge = RGB(0xB8, 0xE0, 0xFF);
constexpr COLORREF kName = RGB(0xFF, 0xFF, 0xFF);
constexpr COLORREF kTagline = RGB(0x8C, 0xC4, 0xFF);

// Lengths of the banner's drawing at 96 DPI, scaled to the target's DPI.
struct BannerScale {
    UINT Dpi;
    POINT Origin;
    int operator()(int aValue) const { return ScaleForDpi(aValue, Dpi); }
    POINT At(int aX, int aY) const { return {Origin.x + (*this)(aX), Origin.y + (*this)(aY)}; }
};

BYTE Blend(BYTE aFrom, BYTE aTo, int aStep, int aSteps)
{
    return static_cast<BYTE>(aFrom + (aTo - aFrom) * aStep / std::max(aSteps, 1));
}

void FillBackground(HDC aDc, const BannerScale& aScale)
{
    const int height = aScale(kBannerHeight);
    const int width = aScale(kBannerWidth);
    for (int y = 0; y < height; ++y) {
        const COLORREF color = RGB(Blend(GetRValue(kTop), GetRValue(kBottom), y, height),
            Blend(GetGValue(kTop), GetGValue(kBottom), y, height), Blend(GetBValue(kTop), GetBValue(kBottom), y, height));
        GdiObject brush(CreateSolidBrush(color));
        const RECT row{aScale.Origin.x, aScale.Origin.y + y, aScale.Origin.x + width, aScale.Origin.y + y + 1};
        FillRect(aDc, &row, static_cast<HBRUSH>(brush.Get()));
    }
}

void DrawHatching(HDC aDc, const BannerScale& aScale)
{
    const GdiObject pen(CreatePen(PS_SOLID, std::max(1, aScale(1)), kHatch));
    const SelectedObject selected(aDc, pen.Get());
    const int height = aScale(kBannerHeight);
    for (int x = -kBannerHeight; x < kBannerWidth; x += 14) {
        const POINT from = aScale.At(x, kBannerHeight);
        MoveToEx(aDc, from.x, from.y, nullptr);
        LineTo(aDc, from.x + height, from.y - height);
    }
}

void DrawShield(HDC aDc, const BannerScale& aScale)
{
    const POINT outline[] = {aScale.At(50, 16), aScale.At(80, 27), aScale.At(78, 62), aScale.At(50, 97),
        aScale.At(22, 62), aScale.At(20, 27)};
    const GdiObject brush(CreateSolidBrush(kShield));
    const GdiObject pen(CreatePen(PS_SOLID, std::max(1, aScale(2)), kShieldEdge));
    const SelectedObject brushSelected(aDc, brush.Get());
    const SelectedObject penSelected(aDc, pen.Get());
    Polygon(aDc, outline, static_cast<int>(std::size(outline)));
    const GdiObject tick(CreatePen(PS_SOLID, std::max(2, aScale(6)), kName));
    const SelectedObject tickSelected(aDc, tick.Get());
    const POINT mark[] = {aScale.At(36, 55), aScale.At(47, 67), aScale.At(66, 41)};
    Polyline(aDc, mark, static_cast<int>(std::size(mark)));
}

void DrawTextAt(HDC aDc, const wchar_t* aText, POINT aAt, int aHeight, int aWeight, int aSpacing, COLORREF aColor)
{
    LOGFONTW font{};
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        font = metrics.lfMessageFont;
    font.lfHeight = -aHeight;
    font.lfWidth = 0;
    font.lfWeight = aWeight;
    font.lfQuality = ANTIALIASED_QUALITY;
    const GdiObject handle(CreateFontIndirectW(&font));
    const SelectedObject selected(aDc, handle.Get());
    SetTextCharacterExtra(aDc, aSpacing);
    SetTextColor(aDc, aColor);
    TextOutW(aDc, aAt.x, aAt.y, aText, static_cast<int>(wcslen(aText)));
    SetTextCharacterExtra(aDc, 0);
}

} // namespace

void DrawBanner(HDC aDc, const RECT& aArea, UINT aDpi)
{
    const int saved = SaveDC(aDc);
    IntersectClipRect(aDc, aArea.left, aArea.top, aArea.right, aArea.bottom);
    const BannerScale scale{aDpi, {aArea.left, aArea.top}};
    FillBackground(aDc, scale);
    DrawHatching(aDc, scale);
    DrawShield(aDc, scale);
    SetBkMode(aDc, TRANSPARENT);
    DrawTextAt(aDc, L"QUORVANE", scale.At(98, 18), scale(50), FW_BOLD, scale(5), kName);
    DrawTextAt(aDc, L"Malware scanner for memory, registry and files", scale.At(101, 76), scale(16), FW_NORMAL, 0,
        kTagline);
    const RECT rule{aArea.left, aArea.top + scale(kBannerHeight - 3), aArea.left + scale(kBannerWidth),
        aArea.top + scale(kBannerHeight)};
    FillRect(aDc, &rule, theme::BackgroundBrush());
    RestoreDC(aDc, saved);
}
