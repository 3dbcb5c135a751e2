// The shared dark blue visual style: colours, brushes and fonts.
#include "platform/ToolkitTheme.h"

#include <string>

namespace {

UINT ScreenDpi() noexcept
{
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
    if (screen != nullptr)
        ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// The message font as the system gives it, at the screen's DPI.
LOGFONTW MessageFont()
{
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
        LOGFONTW fallback{};
        GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(fallback), &fallback);
        return fallback;
    }
    return metrics.lfMessageFont;
}

} // namespace

namespace theme {

HBRUSH BackgroundBrush()
{
    static HBRUSH brush = CreateSolidBrush(kBackground);
    return brush;
}

HBRUSH PanelBrush()
{
    static HBRUSH brush = CreateSolidBrush(kPanel);
    return brush;
}

GdiObject CreateFontFor(FontKind aKind, UINT aDpi, int aLargePoints)
{
    LOGFONTW font = MessageFont();
    font.lfHeight = MulDiv(font.lfHeight, static_cast<int>(aDpi), static_cast<int>(ScreenDpi()));
    font.lfWidth = 0;
    if (aKind == FontKind::Bold)
        font.lfWeight = FW_BOLD;
    if (aKind == FontKind::Large)
        font.lfHeight = -MulDiv(aLargePoints, static_cast<int>(aDpi), 72);
    return GdiObject(CreateFontIndirectW(&font));
}

} // namespace theme

void PaintGroupBox(HWND aGroupBox, HDC aDc)
{
    std::wstring caption(static_cast<size_t>(GetWindowTextLengthW(aGroupBox)) + 1, L'\0');
    caption.resize(static_cast<size_t>(GetWindowTextW(aGroupBox, caption.data(), static_cast<int>(caption.size()))));
    RECT box;
    GetClientRect(aGroupBox, &box);
    HGDIOBJ oldFont = SelectObject(aDc, reinterpret_cast<HFONT>(SendMessageW(aGroupBox, WM_GETFONT, 0, 0)));
    SIZE text{};
    GetTextExtentPoint32W(aDc, caption.c_str(), static_cast<int>(caption.size()), &text);
    const int inset = MulDiv(text.cy, 2, 3);
    RECT frame{box.left, box.top + text.cy / 2, box.right, box.bottom};
    HBRUSH frameBrush = CreateSolidBrush(theme::kFrame);
    FrameRect(aDc, &frame, frameBrush);
    DeleteObject(frameBrush);
    RECT label{box.left + inset - 2, box.top, box.left + inset + text.cx + 2, box.top + text.cy};
    FillRect(aDc, &label, theme::BackgroundBrush());
    SetBkMode(aDc, TRANSPARENT);
    SetTextColor(aDc, IsWindowEnabled(aGroupBox) ? theme::kAccent : theme::kDimText);
    TextOutW(aDc, box.left + inset, box.top, caption.c_str(), static_cast<int>(caption.size()));
    SelectObject(aDc, oldFont);
}

int ScaleForDpi(int aValue, UINT aDpi) noexcept
{
    return MulDiv(aValue, static_cast<int>(aDpi), 96);
}

UINT WindowDpi(HWND aWindow) noexcept
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = reinterpret_cast<GetDpiForWindowFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
    if (getDpiForWindow != nullptr && aWindow != nullptr) {
        const UINT dpi = getDpiForWindow(aWindow);
        if (dpi != 0)
            return dpi;
    }
    return ScreenDpi();
}
