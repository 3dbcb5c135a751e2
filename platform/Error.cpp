// System error texts and the throwing helpers of AppError.
#include "platform/Error.h"

#include <memory>

namespace {

// The text of aCode with its trailing characters in aTrailing removed.
std::wstring FormattedSystemText(DWORD aCode, std::wstring_view aTrailing)
{
    wchar_t* buffer = nullptr;
    const DWORD flags = FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS;
    const DWORD length = FormatMessageW(flags, nullptr, aCode, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const std::unique_ptr<wchar_t, decltype(&LocalFree)> owner(buffer, &LocalFree);
    std::wstring text = length != 0 ? std::wstring(buffer, length) : L"Unknown error " + std::to_wstring(aCode);
    while (!text.empty() && aTrailing.find(text.back()) != std::wstring_view::npos)
        text.pop_back();
    return text;
}

} // namespace

std::wstring SystemErrorText(DWORD aCode)
{
    return FormattedSystemText(aCode, L". \r\n");
}

std::wstring SystemMessage(DWORD aCode)
{
    return FormattedSystemText(aCode, L"\r\n");
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
