// The standard error display and its text rule.
#include "platform/ErrorDisplay.h"

#include <windows.h>

std::wstring ErrorDisplayText(std::wstring_view aMessage)
{
    std::wstring text(aMessage);
    if (!text.empty() && text.back() > L'.')
        text += L'.';
    return text;
}

void ShowErrorMessage(const std::wstring& aMessage, HWND aOwner) noexcept
{
    HWND owner = aOwner != nullptr ? aOwner : GetActiveWindow();
    try {
        MessageBoxW(owner, ErrorDisplayText(aMessage).c_str(), L"Error", MB_OK | MB_ICONERROR);
    } catch (...) {
        // Out of memory for the text: show the message as it stands.
        MessageBoxW(owner, aMessage.c_str(), L"Error", MB_OK | MB_ICONERROR);
    }
}
