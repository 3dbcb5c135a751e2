// Device contexts and the objects selected into them, each given back at the end of its scope.
#pragma once

#include <windows.h>

// A window's device context (GetDC), released with ReleaseDC; aWindow nullptr gives the screen's.
class WindowDc {
public:
    explicit WindowDc(HWND aWindow) noexcept : window_(aWindow), dc_(GetDC(aWindow)) {}
    ~WindowDc()
    {
        if (dc_ != nullptr)
            ReleaseDC(window_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;

    HDC Get() const noexcept { return dc_; }
    explicit operator bool() const noexcept { return dc_ != nullptr; }

private:
    HWND window_;
    HDC dc_;
};

// The painting of a window between BeginPaint and EndPaint, for WM_PAINT.
class PaintDc {
public:
    explicit PaintDc(HWND aWindow) noexcept : window_(aWindow), dc_(BeginPaint(aWindow, &paint_)) {}
    ~PaintDc() { EndPaint(window_, &paint_); }
    PaintDc(const PaintDc&) = delete;
    PaintDc& operator=(const PaintDc&) = delete;

    HDC Get() const noexcept { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An object selected into a device context; the object it replaced is selected back at the end.
// The object must outlive this selection.
class SelectedObject {
public:
    SelectedObject(HDC aDc, HGDIOBJ aObject) noexcept : dc_(aDc), old_(SelectObject(aDc, aObject)) {}
    ~SelectedObject()
    {
        if (old_ != nullptr && old_ != HGDI_ERROR)
            SelectObject(dc_, old_);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};
