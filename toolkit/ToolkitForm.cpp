// A top-level window of the program: window procedure, controls, bound buttons, modal loop.
#include "toolkit/ToolkitForm.h"

#include "platform/Error.h"
#include "platform/SystemLibrary.h"
#include "toolkit/ToolkitError.h"
#include "toolkit/ToolkitGroupBox.h"
#include "toolkit/WindowText.h"

#include <commctrl.h>

#include <algorithm>

namespace {

constexpr wchar_t kFormClass[] = L"QuorvaneForm";
// Controls without an identifier of their own get one from here on, clear of IDOK and IDCANCEL.
constexpr int kFirstControlId = 1000;

// The class is registered once, with the icon of the first form.
void RegisterFormClass(WNDPROC aProc, int aIconId)
{
    static const bool registered = [aProc, aIconId] {
        WNDCLASSEXW windowClass{};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = aProc;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        if (aIconId != 0)
            windowClass.hIcon = LoadIconW(windowClass.hInstance, MAKEINTRESOURCEW(aIconId));
        windowClass.lpszClassName = kFormClass;
        return RegisterClassExW(&windowClass) != 0;
    }();
    if (!registered)
        ThrowLastError(L"Window class registration failed: ");
}

RECT WindowRectFor(SIZE aClient, DWORD aStyle, DWORD aExStyle, UINT aDpi)
{
    RECT rect{0, 0, aClient.cx, aClient.cy};
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi =
        ProcedureAddress<AdjustForDpiFn>(GetModuleHandleW(L"user32.dll"), "AdjustWindowRectExForDpi");
    if (adjustForDpi != nullptr)
        adjustForDpi(&rect, aStyle, FALSE, aExStyle, aDpi);
    else
        AdjustWindowRectEx(&rect, aStyle, FALSE, aExStyle);
    return rect;
}

} // namespace

TForm::TForm(const TTheme& aTheme) : theme_(aTheme), backgroundBrush_(CreateSolidBrush(aTheme.Background))
{
}

TForm::~TForm()
{
    if (handle_ != nullptr)
        DestroyWindow(handle_);
}

void TForm::CreateForm(const std::wstring& aCaption, SIZE aClient, DWORD aStyle, DWORD aExStyle, HWND aOwner)
{
    RegisterFormClass(WindowProc, theme_.IconId);
    client_ = aClient;
    HWND window = CreateWindowExW(aExStyle, kFormClass, aCaption.c_str(), aStyle, 0, 0, aClient.cx, aClient.cy,
        aOwner, nullptr, GetModuleHandleW(nullptr), this);
    if (window == nullptr)
        ThrowLastError(L"Window creation failed: ");
    dpi_ = WindowDpi(window);
    CreateFonts();
    const RECT frame = WindowRectFor({Scale(aClient.cx), Scale(aClient.cy)}, aStyle, aExStyle, dpi_);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int left = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int top = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(window, nullptr, std::max(left, 0), std::max(top, 0), width, height,
        SWP_NOZORDER | SWP_NOACTIVATE);
}

void TForm::FinishCreate()
{
    for (HWND box : groupBoxes_)
        SetWindowPos(box, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SendMessageW(handle_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS | UISF_HIDEACCEL), 0);
    UpdateActions();
}

void TForm::SetCaption(const std::wstring& aCaption)
{
    SetWindowTextW(handle_, aCaption.c_str());
}

HWND TForm::AddControl(const wchar_t* aClass, const std::wstring& aText, DWORD aStyle, TBounds aBounds,
    TPlacing aPlacing, int aId)
{
    const int id = aId != 0 ? aId : kFirstControlId + static_cast<int>(placements_.size());
    HWND control = CreateWindowExW(0, aClass, aText.c_str(), WS_CHILD | WS_VISIBLE | aStyle, 0, 0, 0, 0, handle_,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (control == nullptr)
        ThrowLastError(L"Control creation failed: ");
    placements_.push_back({control, aBounds, aPlacing});
    Place(placements_.back());
    return control;
}

HWND TForm::AddLabel(const std::wstring& aText, TBounds aBounds, TPlacing aPlacing, DWORD aExtraStyle)
{
    const bool wraps = (aBounds.Width != 0 && aBounds.Height != 0) || aPlacing.MaxWidth != 0;
    const DWORD wrap = wraps ? 0 : SS_LEFTNOWORDWRAP;
    return AddControl(WC_STATICW, aText, SS_LEFT | SS_NOPREFIX | wrap | aExtraStyle, aBounds, aPlacing);
}

HWND TForm::AddButton(const std::wstring& aText, TBounds aBounds, theme::FontKind aFont, int aId, DWORD aExtraStyle)
{
    return AddControl(WC_BUTTONW, aText, WS_TABSTOP | BS_PUSHBUTTON | aExtraStyle, aBounds, {aFont}, aId);
}

HWND TForm::AddCheckBox(const std::wstring& aText, TBounds aBounds)
{
    HWND box = AddControl(WC_BUTTONW, aText, WS_TABSTOP | BS_AUTOCHECKBOX, aBounds);
    UseClassicLook(box);
    return box;
}

HWND TForm::AddGroupBox(const std::wstring& aText, TBounds aBounds)
{
    HWND box = AddControl(WC_BUTTONW, aText, BS_GROUPBOX | WS_CLIPSIBLINGS, aBounds);
    PaintInTheme(box, theme_);
    groupBoxes_.push_back(box);
    return box;
}

// A class list that names no class: Wine ignores empty texts here, Windows takes both alike.
void TForm::UseClassicLook(HWND aControl)
{
    // uxtheme.dll is no known DLL: taken from the system folder only, and optional.
    using SetWindowThemeFn = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    static const auto setWindowTheme = SystemFunction<SetWindowThemeFn>(L"uxtheme.dll", "SetWindowTheme");
    if (setWindowTheme != nullptr)
        setWindowTheme(aControl, L" ", L" ");
}

void TForm::SetTextColor(HWND aControl, COLORREF aColor)
{
    textColors_.emplace_back(aControl, aColor);
}

void TForm::SetText(HWND aControl, const std::wstring& aText)
{
    if (WindowText(aControl) == aText)
        return;
    SetWindowTextW(aControl, aText.c_str());
    const auto found = std::find_if(placements_.begin(), placements_.end(),
        [aControl](const Placement& aPlacement) { return aPlacement.Handle == aControl; });
    if (found == placements_.end() || (found->Bounds.Width != 0 && found->Bounds.Height != 0))
        return;
    Place(*found);
    for (const Placement& placement : placements_) {
        if (placement.Placing.After == aControl)
            Place(placement);
    }
}

void TForm::BindButton(HWND aButton, TAction& aAction)
{
    auto found = std::find_if(bindings_.begin(), bindings_.end(),
        [aButton](const Binding& aBinding) { return aBinding.Button == aButton; });
    if (found == bindings_.end())
        found = bindings_.insert(bindings_.end(), {aButton, &aAction});
    found->Action = &aAction;
    aAction.Update();
    ApplyBinding(*found);
}

void TForm::UpdateActions()
{
    for (const Binding& binding : bindings_) {
        binding.Action->Update();
        ApplyBinding(binding);
    }
}

void TForm::ApplyBinding(const Binding& aBinding)
{
    SetText(aBinding.Button, aBinding.Action->Text);
    const bool enabled = aBinding.Action->Enabled;
    if ((IsWindowEnabled(aBinding.Button) != FALSE) == enabled)
        return;
    if (!enabled)
        MoveFocusFrom(aBinding.Button);
    EnableWindow(aBinding.Button, enabled ? TRUE : FALSE);
}

// A control about to be disabled gives the keyboard focus to the next one in the tab order.
void TForm::MoveFocusFrom(HWND aControl)
{
    if (GetFocus() != aControl)
        return;
    HWND next = GetNextDlgTabItem(handle_, aControl, FALSE);
    SetFocus(next != nullptr && next != aControl ? next : handle_);
}

void TForm::Idle()
{
    if (handle_ != nullptr)
        UpdateActions();
}

void TForm::Show()
{
    ShowWindow(handle_, SW_SHOWNORMAL);
    SetForegroundWindow(handle_);
    Activate(true);
}

int TForm::ShowModal()
{
    HWND owner = GetWindow(handle_, GW_OWNER);
    const bool disableOwner = owner != nullptr && IsWindowEnabled(owner);
    if (disableOwner)
        EnableWindow(owner, FALSE);
    modal_ = true;
    modalResult_ = 0;
    Show();
    RunMessageLoop([this] { return modalResult_ != 0 || handle_ == nullptr; });
    modal_ = false;
    if (disableOwner)
        EnableWindow(owner, TRUE);
    if (handle_ != nullptr)
        ShowWindow(handle_, SW_HIDE);
    return modalResult_ != 0 ? modalResult_ : IDCANCEL;
}

LRESULT CALLBACK TForm::WindowProc(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam)
{
    if (aMessage == WM_NCCREATE) {
        auto* form = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTW*>(aLParam)->lpCreateParams);
        form->handle_ = aWindow;
        SetWindowLongPtrW(aWindow, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
    }
    auto* form = reinterpret_cast<TForm*>(GetWindowLongPtrW(aWindow, GWLP_USERDATA));
    if (form == nullptr)
        return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
    if (aMessage == WM_NCDESTROY) {
        SetWindowLongPtrW(aWindow, GWLP_USERDATA, 0);
        form->handle_ = nullptr;
        return DefWindowProcW(aWindow, aMessage, aWParam, aLParam);
    }
    try {
        return form->HandleMessage(aMessage, aWParam, aLParam);
    } catch (...) {
        ShowCurrentException();
        return 0;
    }
}

LRESULT TForm::HandleMessage(UINT aMessage, WPARAM aWParam, LPARAM aLParam)
{
    return DefaultHandling(aMessage, aWParam, aLParam);
}

LRESULT TForm::DefaultHandling(UINT aMessage, WPARAM aWParam, LPARAM aLParam)
{
    switch (aMessage) {
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(handle_, &client);
        FillRect(reinterpret_cast<HDC>(aWParam), &client, static_cast<HBRUSH>(backgroundBrush_.Get()));
        return 1;
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
        return ColorControl(reinterpret_cast<HDC>(aWParam), reinterpret_cast<HWND>(aLParam));
    case WM_COMMAND:
        Command(aWParam, aLParam);
        return 0;
    case WM_NOTIFY:
        return Notify(*reinterpret_cast<NMHDR*>(aLParam));
    case WM_DRAWITEM:
        DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(aLParam));
        return TRUE;
    case WM_TIMER:
        TimerTick(aWParam);
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    case WM_ACTIVATE:
        Activate(LOWORD(aWParam) != WA_INACTIVE);
        return 0;
    case DM_GETDEFID:
        return DefaultButtonId();
    case WM_QUERYENDSESSION:
        return TRUE;
    case WM_ENDSESSION:
        if (aWParam != FALSE)
            EndSession();
        return 0;
    case WM_DPICHANGED:
        DpiChanged(HIWORD(aWParam), *reinterpret_cast<const RECT*>(aLParam));
        return 0;
    default:
        return DefWindowProcW(handle_, aMessage, aWParam, aLParam);
    }
}

LRESULT TForm::ColorControl(HDC aDc, HWND aControl)
{
    COLORREF color = theme_.Text;
    for (const auto& [control, textColor] : textColors_) {
        if (control == aControl)
            color = textColor;
    }
    if (!IsWindowEnabled(aControl))
        color = theme_.DimText;
    ::SetTextColor(aDc, color);
    SetBkColor(aDc, theme_.Background);
    return reinterpret_cast<LRESULT>(backgroundBrush_.Get());
}

// Enter presses the focused push button, otherwise the default button.
LRESULT TForm::DefaultButtonId() const
{
    HWND focus = GetFocus();
    if (focus != nullptr && IsChild(handle_, focus) && (SendMessageW(focus, WM_GETDLGCODE, 0, 0) & DLGC_UNDEFPUSHBUTTON))
        return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
    return defaultButtonId_ != 0 ? MAKELRESULT(defaultButtonId_, DC_HASDEFID) : 0;
}

void TForm::Command(WPARAM aWParam, LPARAM aLParam)
{
    if (HIWORD(aWParam) != BN_CLICKED)
        return;
    HWND button = reinterpret_cast<HWND>(aLParam);
    if (button == nullptr)
        button = GetDlgItem(handle_, LOWORD(aWParam));
    if (button == nullptr || !IsWindowEnabled(button))
        return;
    for (const Binding& binding : bindings_) {
        if (binding.Button == button) {
            binding.Action->Execute();
            return;
        }
    }
    ButtonClick(button);
}

void TForm::Close()
{
    if (!CloseQuery())
        return;
    if (modal_)
        modalResult_ = IDCANCEL;
    else
        DestroyWindow(handle_);
}

// Keeps the keyboard focus on the control that had it when the window is activated again.
void TForm::Activate(bool aActive)
{
    HWND focus = GetFocus();
    if (!aActive) {
        if (focus != nullptr && IsChild(handle_, focus))
            lastFocus_ = focus;
        return;
    }
    if (focus != nullptr && IsChild(handle_, focus))
        return;
    HWND target = lastFocus_ != nullptr && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)
        ? lastFocus_
        : GetNextDlgTabItem(handle_, nullptr, FALSE);
    if (target != nullptr)
        SetFocus(target);
}

// Windows moves a per-monitor aware window between monitors of different DPI: re-scale everything.
void TForm::DpiChanged(UINT aDpi, const RECT& aSuggested)
{
    dpi_ = aDpi;
    CreateFonts();
    SetWindowPos(handle_, nullptr, aSuggested.left, aSuggested.top, aSuggested.right - aSuggested.left,
        aSuggested.bottom - aSuggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
    ApplyLayout();
    Rescaled();
    RedrawWindow(handle_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
