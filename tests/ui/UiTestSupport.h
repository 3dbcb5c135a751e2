// Helpers of the interface tests: reading and clicking controls, message boxes met while pumping,
// the settings' reset and the layout checks.
#pragma once

#include "tests/support/MessageBoxProbe.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

using namespace std::chrono_literals;

std::wstring Text(HWND aWindow);
bool Enabled(HWND aWindow);
std::wstring ClassOf(HWND aWindow);
// Posts BM_CLICK, as a user's click, after checking that a user could click it.
void Click(HWND aButton);
// Dispatches what is waiting and runs the idle handlers.
void Settle();

// Runs aAction, then pumps messages until a message box of this process has been read and
// closed with OK by a helper thread (which first runs aWhileShown); nullopt when none came within aTimeout.
std::optional<MessageBoxInfo> RunExpectingMessageBox(const std::function<void()>& aAction,
    std::chrono::milliseconds aTimeout = 20s, const std::function<void()>& aWhileShown = {});

// Runs aDriver on a helper thread while this thread runs aModal (which pumps messages itself).
void RunWithDriver(const std::function<void()>& aModal, const std::function<void()>& aDriver);

// A top-level window of this process's class for forms with exactly this caption; waits up to 10 s.
HWND WaitForForm(const wchar_t* aCaption);
// The child of aParent with this window text.
HWND ChildWithText(HWND aParent, const wchar_t* aText);

// The stored settings are removed and the process-wide object is released.
void ResetSettings();

// The texts of aForm's labels, check boxes and buttons that do not fit their control at its
// font (word-wrapped labels may wrap, within their height); aSkip is left out.
std::vector<std::wstring> CutOffTexts(HWND aForm, HWND aSkip = nullptr);

// "text A / text B" for each two visible controls of aForm whose rectangles share more than a
// sliver of 2 pixels (at 96 DPI); group boxes, which hold other controls, are left out.
std::vector<std::wstring> OverlappingControls(HWND aForm);
