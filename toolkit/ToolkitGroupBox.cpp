// Group boxes drawn in the theme's colours.
#include "toolkit/ToolkitGroupBox.h"

#include "platform/DeviceContext.h"
#include "toolkit/ToolkitTheme.h"
#include "toolkit/WindowText.h"

#include <commctrl.h>

#include <string>

namespace {

void PaintGroupBox(HWND aGroupBox, HDC aDc, const TTheme& aTheme)
{
    const std::wstring caption = WindowText(aGroupBox);
    RECT box;
    GetClientRect(aGroupBox, &box);
    const SelectedObject font(aDc, reinterpret_cast<HFONT>(SendMessageW(aGroupBox, WM_GETFONT, 0, 0)));
    SIZE text{};
    GetTextExtentPoint32W(aDc, caption.c_str(), static_cast<int>(caption.size()), &text);
    const int inset = MulDiv(text.cy, 2, 3);
    RECT frame{box.left, box.top + text.cy / 2, box.right, box.bottom};
    const GdiObject frameBrush(CreateSolidBrush(aTheme.Frame));
    FrameRect(aDc, &frame, static_cast<HBRUSH>(frameBrush.Get()));
    RECT label{box.left + inset - 2, box.top, box.left + inset + text.cx + 2, box.top + text.cy};
    const GdiObject background(CreateSolidBrush(aTheme.Background));
    FillRect(aDc, &label, static_cast<HBRUSH>(background.Get()));
    SetBkMode(aDc, TRANSPARENT);
    SetTextColor(aDc, IsWindowEnabled(aGroupBox) ? aTheme.Accent : aTheme.DimText);
    TextOutW(aDc, box.left + inset, box.top, caption.c_str(), static_cast<int>(caption.size()));
}

// Group boxes paint themselves in the theme's colours, whatever the system's style would do.
LRESULT CALLBACK GroupBoxProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam, UINT_PTR, DWORD_PTR aTheme)
{
    switch (aMessage) {
    case WM_PAINT: {
        const PaintDc dc(aWindow);
        try {
            PaintGroupBox(aWindow, dc.Get(), *reinterpret_cast<const TTheme*>(aTheme));
        } catch (...) {
            // No memory for the caption's text: the box stays unpainted this time.
        }
        return 0;
    }
    case WM_ENABLE:
    case WM_UPDATEUISTATE:
        InvalidateRect(aWindow, nullptr, FALSE);
        return 0;
    case WM_NCDESTROY:
        RemoveWindowSubclass(aWindow, GroupBoxProc, 0);
        break;
    default:
        break;
    }
    return DefSubclassProc(aWindow, aMessage, aWParam, aLParam);
}

} // namespace

void PaintInTheme(HWND aGroupBox, const TTheme& aTheme)
{
    SetWindowSubclass(aGroupBox, GroupBoxProc, 0, reinterpret_cast<DWORD_PTR>(&aTheme));
}
