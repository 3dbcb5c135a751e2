// A top-level window of the program: its window procedure, its child controls laid out at its DPI,
// buttons bound to actions, a keyboard interface like a dialog's, and a modal loop.
#pragma once

#include "toolkit/Toolkit.h"
#include "toolkit/ToolkitTheme.h"

#include <windows.h>

#include <string>
#include <vector>

// A rectangle given at 96 DPI; a width or height of 0 sizes the control to its text.
struct TBounds {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
};

// How a control is placed beyond its bounds: its font kind; a control that it must not overlap
// (when the font makes that control's text reach past X, the placed control starts just after it,
// keeping its right edge); and, for a label sized to its text, the width (at 96 DPI) beyond which
// it wraps instead of growing.
struct TPlacing {
    theme::FontKind Font = theme::FontKind::Normal;
    HWND After = nullptr;
    int MaxWidth = 0;
};

class TForm : public TIdleListener {
public:
    ~TForm() override;

    HWND Handle() const noexcept { return handle_; }
    UINT Dpi() const noexcept { return dpi_; }
    int Scale(int aValue) const noexcept { return ScaleForDpi(aValue, dpi_); }

    void Show();
    // Shows the window with its owner disabled until a modal result is set; returns that result
    // (IDCANCEL when the window went away without one).
    int ShowModal();
    int ModalResult() const noexcept { return modalResult_; }
    void SetModalResult(int aResult) noexcept { modalResult_ = aResult; }

    HWND DialogWindow() const override { return handle_; }
    void Idle() override;

protected:
    // aTheme gives the form its look; it must outlive the form.
    explicit TForm(const TTheme& aTheme);

    // Creates the window hidden, with the given client size at 96 DPI, centred on the screen.
    // Throws AppError when the window cannot be created.
    void CreateForm(const std::wstring& aCaption, SIZE aClient, DWORD aStyle, DWORD aExStyle, HWND aOwner);
    // Puts group boxes behind their contents and shows keyboard focus; call after the last control.
    void FinishCreate();
    void SetCaption(const std::wstring& aCaption);

    // Creates a child window of a standard class. Throws AppError when it cannot be created.
    HWND AddControl(const wchar_t* aClass, const std::wstring& aText, DWORD aStyle, TBounds aBounds,
        TPlacing aPlacing = {}, int aId = 0);
    HWND AddLabel(const std::wstring& aText, TBounds aBounds, TPlacing aPlacing = {}, DWORD aExtraStyle = 0);
    HWND AddButton(const std::wstring& aText, TBounds aBounds, theme::FontKind aFont = theme::FontKind::Normal,
        int aId = 0, DWORD aExtraStyle = 0);
    HWND AddCheckBox(const std::wstring& aText, TBounds aBounds);
    HWND AddGroupBox(const std::wstring& aText, TBounds aBounds);
    // Turns the theme off for a control, so that it draws with the colours the form gives it.
    static void UseClassicLook(HWND aControl);

    void SetTextColor(HWND aControl, COLORREF aColor);
    // Sets a control's text when it differs, re-sizing controls that size to their text.
    void SetText(HWND aControl, const std::wstring& aText);
    void SetDefaultButton(int aId) noexcept { defaultButtonId_ = aId; }
    // The Large font: 14 points, or the largest size below at which each of aTexts fits a button
    // aWidth wide (at 96 DPI).
    void FitLargeFont(std::vector<std::wstring> aTexts, int aWidth);

    // The button shows the action's text and enabled state and runs it when clicked.
    void BindButton(HWND aButton, TAction& aAction);
    void UpdateActions();

    virtual LRESULT HandleMessage(UINT aMessage, WPARAM aWParam, LPARAM aLParam);
    virtual void ButtonClick(HWND /*aButton*/) {}
    virtual LRESULT Notify(NMHDR& /*aHeader*/) { return 0; }
    virtual bool CloseQuery() { return true; }
    virtual void TimerTick(UINT_PTR /*aId*/) {}
    virtual void DrawItem(const DRAWITEMSTRUCT& /*aItem*/) {}
    virtual void EndSession() {}
    // After the controls were laid out again at a new DPI.
    virtual void Rescaled() {}

private:
    struct Placement {
        HWND Handle;
        TBounds Bounds;
        TPlacing Placing;
    };
    struct Binding {
        HWND Button;
        TAction* Action;
    };

    static LRESULT CALLBACK WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam);
    LRESULT DefaultHandling(UINT aMessage, WPARAM aWParam, LPARAM aLParam);
    LRESULT ColorControl(HDC aDc, HWND aControl);
    void Command(WPARAM aWParam, LPARAM aLParam);
    LRESULT DefaultButtonId() const;
    void Close();
    void Activate(bool aActive);
    void DpiChanged(UINT aDpi, const RECT& aSuggested);
    void CreateFonts();
    GdiObject FittingLargeFont() const;
    int TextWidth(HFONT aFont, const std::wstring& aText) const;
    void ApplyLayout();
    void Place(const Placement& aPlacement);
    SIZE TextExtent(HWND aControl, theme::FontKind aFont, int aMaxWidth) const;
    HFONT Font(theme::FontKind aKind) const;
    void ApplyBinding(const Binding& aBinding);
    void MoveFocusFrom(HWND aControl);

    const TTheme& theme_;
    GdiObject backgroundBrush_;
    HWND handle_ = nullptr;
    UINT dpi_ = 96;
    SIZE client_{};
    int modalResult_ = 0;
    bool modal_ = false;
    int defaultButtonId_ = 0;
    HWND lastFocus_ = nullptr;
    GdiObject fonts_[3];
    std::vector<Placement> placements_;
    std::vector<HWND> groupBoxes_;
    std::vector<std::wstring> largeTexts_;
    int largeWidth_ = 0;
    std::vector<Binding> bindings_;
    std::vector<std::pair<HWND, COLORREF>> textColors_;
};
