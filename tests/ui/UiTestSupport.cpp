// Helpers of the interface tests.
#include "tests/ui/UiTestSupport.h"

#include "platform/DeviceContext.h"
#include "toolkit/Toolkit.h"
#include "toolkit/ToolkitTheme.h"
#include "toolkit/WindowText.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <future>
#include <vector>

std::wstring Text(HWND aWindow)
{
    return WindowText(aWindow);
}

bool Enabled(HWND aWindow)
{
    return IsWindowEnabled(aWindow) != FALSE;
}

std::wstring ClassOf(HWND aWindow)
{
    wchar_t name[64] = {};
    GetClassNameW(aWindow, name, 64);
    return name;
}

void Click(HWND aButton)
{
    ASSERT_TRUE(IsWindowVisible(aButton) && Enabled(aButton)) << "not clickable: " << testing::PrintToString(Text(aButton));
    PostMessageW(aButton, BM_CLICK, 0, 0);
}

void Settle()
{
    ProcessMessages();
}

std::optional<MessageBoxInfo> RunExpectingMessageBox(const std::function<void()>& aAction,
    std::chrono::milliseconds aTimeout, const std::function<void()>& aWhileShown)
{
    auto closer = std::async(std::launch::async, [aTimeout, &aWhileShown] {
        std::optional<MessageBoxInfo> box = WaitForOwnMessageBox(aTimeout);
        if (box && aWhileShown)
            aWhileShown();
        if (box)
            ClickOk(box->window);
        return box;
    });
    aAction();
    PumpUntil([&closer] { return closer.wait_for(0s) == std::future_status::ready; }, aTimeout + 2s);
    std::optional<MessageBoxInfo> box = closer.get();
    Settle();
    return box;
}

void RunWithDriver(const std::function<void()>& aModal, const std::function<void()>& aDriver)
{
    auto driver = std::async(std::launch::async, aDriver);
    aModal();
    driver.get();
}

HWND WaitForForm(const wchar_t* aCaption)
{
    for (int i = 0; i < 1000; ++i) {
        HWND form = FindWindowW(L"QuorvaneForm", aCaption);
        if (form != nullptr && IsWindowVisible(form))
            return form;
        Sleep(10);
    }
    return nullptr;
}

HWND ChildWithText(HWND aParent, const wchar_t* aText)
{
    for (HWND child = GetWindow(aParent, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        if (Text(child) == aText)
            return child;
    }
    return nullptr;
}

void ResetSettings()
{
    ReleaseSettings();
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Talbrinn\\Quorvane");
}

namespace {

// The room a control of this kind needs around its text.
int Padding(HWND aControl)
{
    const LONG type = GetWindowLongW(aControl, GWL_STYLE) & BS_TYPEMASK;
    if (ClassOf(aControl) != L"Button")
        return 0;
    if (type == BS_AUTOCHECKBOX)
        return GetSystemMetrics(SM_CXMENUCHECK) + 4;
    return type == BS_GROUPBOX ? 16 : 6;
}

bool Fits(HWND aControl)
{
    const std::wstring text = Text(aControl);
    RECT client;
    GetClientRect(aControl, &client);
    const WindowDc dc(aControl);
    const SelectedObject font(dc.Get(), reinterpret_cast<HFONT>(SendMessageW(aControl, WM_GETFONT, 0, 0)));
    const bool wraps = ClassOf(aControl) == L"Static" && (GetWindowLongW(aControl, GWL_STYLE) & SS_TYPEMASK) == SS_LEFT;
    RECT needed{0, 0, wraps ? client.right : 0, 0};
    DrawTextW(dc.Get(), text.c_str(), -1, &needed, DT_CALCRECT | DT_NOPREFIX | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
    return needed.right + Padding(aControl) <= client.right && needed.bottom <= client.bottom;
}

} // namespace

std::vector<std::wstring> CutOffTexts(HWND aForm, HWND aSkip)
{
    std::vector<std::wstring> cut;
    for (HWND child = GetWindow(aForm, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::wstring kind = ClassOf(child);
        if (child != aSkip && (kind == L"Static" || kind == L"Button") && !Text(child).empty() && !Fits(child))
            cut.push_back(Text(child));
    }
    return cut;
}

std::vector<std::wstring> OverlappingControls(HWND aForm)
{
    std::vector<std::pair<HWND, RECT>> controls;
    for (HWND child = GetWindow(aForm, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        const bool groupBox = ClassOf(child) == L"Button" && (GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX;
        RECT rect;
        GetWindowRect(child, &rect);
        if (IsWindowVisible(child) && !groupBox)
            controls.emplace_back(child, rect);
    }
    // The check boxes of the options row share 1 or 2 pixels by their given sizes; that is no overlap.
    const int slack = MulDiv(2, static_cast<int>(WindowDpi(aForm)), 96);
    std::vector<std::wstring> overlaps;
    for (std::size_t i = 0; i < controls.size(); ++i) {
        for (std::size_t j = i + 1; j < controls.size(); ++j) {
            RECT common;
            if (IntersectRect(&common, &controls[i].second, &controls[j].second) &&
                common.right - common.left > slack && common.bottom - common.top > slack)
                overlaps.push_back(Text(controls[i].first) + L" / " + Text(controls[j].first));
        }
    }
    return overlaps;
}
