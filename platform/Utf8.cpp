// UTF-8 conversions through MultiByteToWideChar and WideCharToMultiByte.
#include "platform/Utf8.h"

#include <windows.h>

#include <limits>

std::wstring FromUtf8(std::string_view aText)
{
    if (aText.empty() || aText.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return {};
    const int length = static_cast<int>(aText.size());
    const int needed = MultiByteToWideChar(CP_UTF8, 0, aText.data(), length, nullptr, 0);
    std::wstring result(static_cast<std::size_t>(needed), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, aText.data(), length, result.data(), needed);
    return result;
}

std::string ToUtf8(std::wstring_view aText)
{
    if (aText.empty() || aText.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return {};
    const int length = static_cast<int>(aText.size());
    const int needed = WideCharToMultiByte(CP_UTF8, 0, aText.data(), length, nullptr, 0, nullptr, nullptr);
    std::string result(static_cast<std::size_t>(needed), '\0');
    WideCharToMultiByte(CP_UTF8, 0, aText.data(), length, result.data(), needed, nullptr, nullptr);
    return result;
}
