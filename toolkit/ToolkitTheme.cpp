// Fonts at a DPI and DPI scaling.
#include "toolkit/ToolkitTheme.h"

#include "platform/DeviceContext.h"
#include "platform/SystemLibrary.h"

namespace {

UINT ScreenDpi() noexcept
{
    const WindowDc screen(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 96;
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

int ScaleForDpi(int aValue, UINT aDpi) noexcept
{
    return MulDiv(aValue, static_cast<int>(aDpi), 96);
}

UINT WindowDpi(HWND aWindow) noexcept
{
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow =
        ProcedureAddress<GetDpiForWindowFn>(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    if (getDpiForWindow != nullptr && aWindow != nullptr) {
        const UINT dpi = getDpiForWindow(aWindow);
        if (dpi != 0)
            return dpi;
    }
    return ScreenDpi();
}
