// A window kept disabled for a scope, such as a window's owner while a dialog of the window is up.
#pragma once

#include <windows.h>

// The window stays disabled while the object lives, unless it was disabled already.
class TDisabledWindow {
public:
    explicit TDisabledWindow(HWND aWindow) noexcept
        : window_(aWindow != nullptr && IsWindowEnabled(aWindow) ? aWindow : nullptr)
    {
        if (window_ != nullptr)
            EnableWindow(window_, FALSE);
    }
    ~TDisabledWindow()
    {
        if (window_ != nullptr)
            EnableWindow(window_, TRUE);
    }
    TDisabledWindow(const TDisabledWindow&) = delete;
    TDisabledWindow& operator=(const TDisabledWindow&) = delete;

private:
    HWND window_;
};
