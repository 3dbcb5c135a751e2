// The windowing toolkit's core: actions, idle listeners and message loops.
#include "toolkit/Toolkit.h"

#include "toolkit/ToolkitError.h"

#include <algorithm>
#include <vector>

namespace {

std::vector<TIdleListener*>& Listeners()
{
    static std::vector<TIdleListener*> listeners;
    return listeners;
}

bool IsListener(TIdleListener* aListener)
{
    auto& listeners = Listeners();
    return std::find(listeners.begin(), listeners.end(), aListener) != listeners.end();
}

// Tab, Enter and Escape for the top-level window the message is meant for.
bool HandleDialogKeys(MSG& aMessage)
{
    if (aMessage.hwnd == nullptr)
        return false;
    HWND root = GetAncestor(aMessage.hwnd, GA_ROOT);
    for (TIdleListener* listener : Listeners()) {
        if (listener->DialogWindow() == root && root != nullptr)
            return IsDialogMessageW(root, &aMessage) != FALSE;
    }
    return false;
}

void Dispatch(MSG& aMessage)
{
    if (HandleDialogKeys(aMessage))
        return;
    TranslateMessage(&aMessage);
    DispatchMessageW(&aMessage);
}

// Takes one message out of the queue; false when there is none or it is WM_QUIT (then *aQuit is set).
bool TakeMessage(MSG& aMessage, bool& aQuit)
{
    if (!PeekMessageW(&aMessage, nullptr, 0, 0, PM_REMOVE))
        return false;
    if (aMessage.message == WM_QUIT) {
        aQuit = true;
        PostQuitMessage(static_cast<int>(aMessage.wParam));
        return false;
    }
    return true;
}

} // namespace

void TAction::Update()
{
    if (OnUpdate)
        Enabled = OnUpdate();
}

void TAction::Execute()
{
    Update();
    if (Enabled && OnExecute)
        OnExecute();
}

TIdleListener::TIdleListener()
{
    Listeners().push_back(this);
}

TIdleListener::~TIdleListener()
{
    std::erase(Listeners(), this);
}

void ProcessIdle()
{
    const std::vector<TIdleListener*> listeners = Listeners();
    for (TIdleListener* listener : listeners) {
        if (!IsListener(listener))
            continue;
        try {
            listener->Idle();
        } catch (...) {
            ShowCurrentException();
        }
    }
}

bool ProcessMessages()
{
    MSG message;
    bool quit = false;
    while (TakeMessage(message, quit))
        Dispatch(message);
    ProcessIdle();
    return !quit;
}

bool RunMessageLoop(const std::function<bool()>& aDone)
{
    MSG message;
    bool quit = false;
    while (!aDone()) {
        if (TakeMessage(message, quit)) {
            Dispatch(message);
            continue;
        }
        if (quit)
            return false;
        ProcessIdle();
        if (aDone())
            break;
        WaitMessage();
    }
    return true;
}

bool PumpUntil(const std::function<bool()>& aDone, std::chrono::milliseconds aTimeout)
{
    const ULONGLONG deadline = GetTickCount64() + static_cast<ULONGLONG>(aTimeout.count());
    while (!aDone() && GetTickCount64() < deadline) {
        if (!ProcessMessages())
            break;
        if (!aDone())
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return aDone();
}
