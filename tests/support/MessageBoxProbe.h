// Finds, reads and closes the message boxes a test makes appear; starts and awaits child processes.
#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>

struct MessageBoxInfo {
    HWND window = nullptr;
    HWND owner = nullptr;
    std::wstring caption;
    std::wstring text;       // the box's text control
    bool hasIcon = false;    // an icon control with an icon set
    HICON icon = nullptr;
    int buttonCount = 0;
    bool hasOkButton = false;
};

// Waits until a visible top-level message box (#32770) of process aProcessId shows, at most
// aTimeout; nullopt when none came.
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD aProcessId,
    std::chrono::milliseconds aTimeout = std::chrono::seconds(10));

// WaitForMessageBox for this process (the box shown by another of its threads).
std::optional<MessageBoxInfo> WaitForOwnMessageBox(std::chrono::milliseconds aTimeout = std::chrono::seconds(10));

// Waits until process aProcessId shows a visible top-level window that is not a message box,
// at most aTimeout; nullptr when none came.
HWND WaitForMainWindow(DWORD aProcessId, std::chrono::milliseconds aTimeout = std::chrono::seconds(10));

// Presses the box's OK button by posting BM_CLICK; false when it has none.
bool ClickOk(HWND aBox);

// A process started by a test; terminated when still running as the object goes.
class ChildProcess {
public:
    // Starts aCommandLine (program path quoted by the caller) in aFolder; throws AppError.
    ChildProcess(const std::wstring& aCommandLine, const std::wstring& aFolder);
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    DWORD Id() const noexcept { return id_; }

    // The exit code once the process has ended, waiting at most aTimeout; nullopt on timeout.
    std::optional<DWORD> WaitForExitCode(std::chrono::milliseconds aTimeout = std::chrono::seconds(20));

private:
    KernelHandle process_;
    DWORD id_ = 0;
};
