// Writing to a console or to a redirected handle.
#include "tools/ConsoleOutput.h"

#include "platform/Utf8.h"

#include <algorithm>

TConsoleOutput::TConsoleOutput(DWORD aStdHandle) noexcept : FHandle(GetStdHandle(aStdHandle))
{
    DWORD mode = 0;
    FConsole = FHandle != nullptr && FHandle != INVALID_HANDLE_VALUE && GetConsoleMode(FHandle, &mode) != 0;
}

void TConsoleOutput::Write(std::wstring_view aText)
{
    if (FHandle == nullptr || FHandle == INVALID_HANDLE_VALUE)
        return;
    constexpr std::size_t kPiece = 16384;
    if (FConsole) {
        while (!aText.empty()) {
            const std::size_t count = std::min(aText.size(), kPiece);
            DWORD written = 0;
            if (!WriteConsoleW(FHandle, aText.data(), static_cast<DWORD>(count), &written, nullptr) || written == 0)
                return;
            aText.remove_prefix(written);
        }
        return;
    }
    const std::string bytes = ToUtf8(aText);
    std::string_view rest(bytes);
    while (!rest.empty()) {
        DWORD written = 0;
        const auto count = static_cast<DWORD>(std::min(rest.size(), std::size_t{1} << 20));
        if (!WriteFile(FHandle, rest.data(), count, &written, nullptr) || written == 0)
            return;
        rest.remove_prefix(written);
    }
}
