// The application's standard error display: a modal "Error" message box.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// The text shown for aMessage: a full stop is added when the last character's code is
// above that of ".".
std::wstring ErrorDisplayText(std::wstring_view aMessage);

// Shows ErrorDisplayText(aMessage) in a modal message box captioned "Error", with the error
// icon and a single OK button, owned by aOwner, or by the thread's active window if it has one.
void ShowErrorMessage(const std::wstring& aMessage, HWND aOwner = nullptr) noexcept;
