// Message box lookup through the top-level window list; child processes for end-to-end tests.
#include "tests/support/MessageBoxProbe.h"

#include "platform/Error.h"

#include <thread>
#include <vector>

namespace {

constexpr UINT kSendTimeoutMs = 2000;

std::wstring ClassName(HWND aWindow)
{
    wchar_t name[64] = {};
    GetClassNameW(aWindow, name, static_cast<int>(std::size(name)));
    return name;
}

LRESULT SendWithTimeout(HWND aWindow, UINT aMessage, WPARAM aWParam, LPARAM aLParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(aWindow, aMessage, aWParam, aLParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

std::wstring WindowText(HWND aWindow)
{
    const auto length = static_cast<std::size_t>(SendWithTimeout(aWindow, WM_GETTEXTLENGTH, 0, 0));
    std::vector<wchar_t> buffer(length + 1);
    const auto copied = static_cast<std::size_t>(
        SendWithTimeout(aWindow, WM_GETTEXT, buffer.size(), reinterpret_cast<LPARAM>(buffer.data())));
    return std::wstring(buffer.data(), std::min(copied, length));
}

void ReadChild(HWND aChild, MessageBoxInfo& aInfo)
{
    const std::wstring kind = ClassName(aChild);
    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
        ++aInfo.buttonCount;
        aInfo.hasOkButton = aInfo.hasOkButton || GetDlgCtrlID(aChild) == IDOK;
    } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
        if ((GetWindowLongW(aChild, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            aInfo.icon = reinterpret_cast<HICON>(SendWithTimeout(aChild, STM_GETICON, 0, 0));
            aInfo.hasIcon = aInfo.icon != nullptr;
        } else if (aInfo.text.empty()) {
            aInfo.text = WindowText(aChild);
        }
    }
}

MessageBoxInfo ReadMessageBox(HWND aBox)
{
    MessageBoxInfo info;
    info.window = aBox;
    info.owner = GetWindow(aBox, GW_OWNER);
    info.caption = WindowText(aBox);
    for (HWND child = GetWindow(aBox, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT))
        ReadChild(child, info);
    return info;
}

// The first visible top-level window of aProcessId whose class is, or with aIsBox false is not, #32770.
HWND FindTopLevel(DWORD aProcessId, bool aIsBox)
{
    for (HWND window = GetTopWindow(nullptr); window != nullptr; window = GetWindow(window, GW_HWNDNEXT)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == aProcessId && IsWindowVisible(window) && (ClassName(window) == L"#32770") == aIsBox)
            return window;
    }
    return nullptr;
}

// Polls aFind until it yields a window or aTimeout has passed.
template <typename Find>
HWND Poll(std::chrono::milliseconds aTimeout, Find aFind)
{
    const auto deadline = std::chrono::steady_clock::now() + aTimeout;
    for (;;) {
        if (HWND window = aFind())
            return window;
        if (std::chrono::steady_clock::now() >= deadline)
            return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

} // namespace

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD aProcessId, std::chrono::milliseconds aTimeout)
{
    HWND box = Poll(aTimeout, [=] { return FindTopLevel(aProcessId, true); });
    if (box == nullptr)
        return std::nullopt;
    return ReadMessageBox(box);
}

std::optional<MessageBoxInfo> WaitForOwnMessageBox(std::chrono::milliseconds aTimeout)
{
    return WaitForMessageBox(GetCurrentProcessId(), aTimeout);
}

HWND WaitForMainWindow(DWORD aProcessId, std::chrono::milliseconds aTimeout)
{
    return Poll(aTimeout, [=] { return FindTopLevel(aProcessId, false); });
}

bool ClickOk(HWND aBox)
{
    HWND ok = GetDlgItem(aBox, IDOK);
    return ok != nullptr && PostMessageW(ok, BM_CLICK, 0, 0);
}

ChildProcess::ChildProcess(const std::wstring& aCommandLine, const std::wstring& aFolder)
{
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    std::wstring commandLine = aCommandLine;
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, aFolder.c_str(),
            &startup, &process))
        ThrowLastError(L"Cannot start " + aCommandLine + L": ");
    CloseHandle(process.hThread);
    process_.Reset(process.hProcess);
    id_ = process.dwProcessId;
}

ChildProcess::~ChildProcess()
{
    if (WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.Get(), 255);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

std::optional<DWORD> ChildProcess::WaitForExitCode(std::chrono::milliseconds aTimeout)
{
    if (WaitForSingleObject(process_.Get(), static_cast<DWORD>(aTimeout.count())) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(process_.Get(), &code);
    return code;
}
