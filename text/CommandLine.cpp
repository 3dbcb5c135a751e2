// The command-line splitting rules and the switch lookup.
#include "text/CommandLine.h"

#include "text/AsciiCase.h"

#include <algorithm>

namespace {

bool IsSeparator(wchar_t aChar) noexcept
{
    return aChar >= 1 && aChar <= 32;
}

bool IsSwitchPrefix(wchar_t aChar) noexcept
{
    return aChar == L'-' || aChar == L'/';
}

// Skips separators and pairs of double quotes until neither follows.
std::size_t SkipToArgument(std::wstring_view aText, std::size_t aPos) noexcept
{
    for (;;) {
        while (aPos < aText.size() && IsSeparator(aText[aPos]))
            ++aPos;
        if (aPos + 1 < aText.size() && aText[aPos] == L'"' && aText[aPos + 1] == L'"')
            aPos += 2;
        else
            return aPos;
    }
}

// Reads one argument starting at aPos; returns the position after it.
std::size_t ReadArgument(std::wstring_view aText, std::size_t aPos, std::wstring& aArgument)
{
    while (aPos < aText.size() && !IsSeparator(aText[aPos])) {
        if (aText[aPos] != L'"') {
            aArgument += aText[aPos++];
            continue;
        }
        const std::size_t close = aText.find(L'"', aPos + 1);
        const std::size_t end = close == std::wstring_view::npos ? aText.size() : close;
        aArgument.append(aText.substr(aPos + 1, end - aPos - 1));
        aPos = std::min(end + 1, aText.size());
    }
    return aPos;
}

} // namespace

std::vector<std::wstring> SplitCommandLine(std::wstring_view aCommandLine)
{
    const std::wstring_view text = aCommandLine.substr(0, aCommandLine.find(L'\0'));
    std::vector<std::wstring> arguments;
    std::size_t pos = SkipToArgument(text, 0);
    while (pos < text.size()) {
        std::wstring argument;
        pos = SkipToArgument(text, ReadArgument(text, pos, argument));
        if (argument.empty())
            break;
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

bool FindSwitchValue(const std::vector<std::wstring>& aArguments, std::wstring_view aSwitch, std::wstring& aValue)
{
    aValue.clear();
    const std::size_t nameEnd = 1 + aSwitch.size();
    for (std::size_t i = 1; i < aArguments.size(); ++i) {
        const std::wstring_view argument = aArguments[i];
        if (argument.size() < nameEnd || !IsSwitchPrefix(argument[0])
            || !EqualsIgnoringAsciiCase(argument.substr(1, aSwitch.size()), aSwitch))
            continue;
        if (argument.size() > nameEnd)
            aValue = argument.substr(argument[nameEnd] == L':' ? nameEnd + 1 : nameEnd);
        else if (i + 1 < aArguments.size() && !IsSwitchPrefix(aArguments[i + 1][0]))
            aValue = aArguments[i + 1];
        return true;
    }
    return false;
}
