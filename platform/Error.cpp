// System error texts and the throwing helpers of AppError.
#include "platform/Error.h"

#include <memory>

std::wstring SystemErrorText(DWORD aCode)
{
    wchar_t* buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageW(flags, nullptr, aCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, decltype(&LocalFree)> owner(buffer, &LocalFree);
    std::wstring text = length != 0 ? std::wstring(buffer, length) : L"Unknown error " + std::to_wstring(aCode);
    while (!text.empty() && (text.back() == L'.' || text.back() == L' ' || text.back() == L'\r' || text.back() == L'\n'))
        text.pop_back();
    return text;
}

void ThrowWin32Error(DWORD aCode, std::wstring_view aContext)
{
    std::wstring message(aContext);
    message += SystemErrorText(aCode);
    throw AppError(std::move(message), aCode);
}

void ThrowLastError(std::wstring_view aContext)
{
    ThrowWin32Error(GetLastError(), aContext);
}
