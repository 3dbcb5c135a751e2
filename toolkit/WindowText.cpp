// Reading a window's text.
#include "toolkit/WindowText.h"

std::wstring WindowText(HWND aWindow)
{
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(aWindow)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(GetWindowTextW(aWindow, text.data(), static_cast<int>(text.size()))));
    return text;
}
