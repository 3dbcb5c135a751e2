// The system clipboard: putting text on it.
#pragma once

#include <windows.h>

#include <string_view>

// Empties the clipboard and puts aText on it as CF_UNICODETEXT, with aOwner as its owner.
// Throws AppError "Cannot copy to the clipboard: <system text>".
void SetClipboardText(HWND aOwner, std::wstring_view aText);
