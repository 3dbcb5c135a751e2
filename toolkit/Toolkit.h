// The windowing toolkit's core: actions with idle-time updates, and the interface thread's message loops.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>

// A user command: its text, its enabling rule and what it does. Buttons bound to it follow it.
struct TAction {
    std::wstring Text;
    // The enabling rule, run whenever the interface goes idle; no rule means always enabled.
    std::function<bool()> OnUpdate;
    std::function<void()> OnExecute;
    bool Enabled = true;

    void Update();
    // Re-evaluates the rule and runs OnExecute only when the action is enabled. Throws what OnExecute throws.
    void Execute();
};

// Something that wants to hear when the message queue has gone idle (every live form).
class TIdleListener {
public:
    TIdleListener();
    virtual ~TIdleListener();
    TIdleListener(const TIdleListener&) = delete;
    TIdleListener& operator=(const TIdleListener&) = delete;

    virtual void Idle() = 0;
    // The top-level window whose keyboard interface (Tab, Enter, Escape) the loops handle.
    virtual HWND DialogWindow() const = 0;
};

// Runs the idle handlers of every listener.
void ProcessIdle();

// Dispatches every message waiting in the queue, then runs the idle handlers.
// Returns false when WM_QUIT was taken out of the queue (it is posted again).
bool ProcessMessages();

// Dispatches messages until aDone() holds or WM_QUIT arrives, waiting while the queue is empty.
// Returns false on WM_QUIT (posted again for outer loops).
bool RunMessageLoop(const std::function<bool()>& aDone);

// Dispatches messages until aDone() holds or the time runs out; returns aDone().
bool PumpUntil(const std::function<bool()>& aDone, std::chrono::milliseconds aTimeout);
