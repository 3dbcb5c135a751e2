// Splitting the command line and looking up the "sig" switch, including where the splitting
// differs from CommandLineToArgvW (backslashes, empty quotes, control characters).
#include "text/CommandLine.h"

#include <gtest/gtest.h>

using Args = std::vector<std::wstring>;

TEST(SplitCommandLine, FollowsItsOwnQuotingRules)
{
    const struct {
        std::wstring line;
        Args arguments;
    } cases[] = {
        {L"", {}},
        {L"   ", {}},
        {L"q.exe", {L"q.exe"}},
        {L"  q.exe  -sig   x  ", {L"q.exe", L"-sig", L"x"}},
        {L"\"C:\\Program Files\\q.exe\" -sig x", {L"C:\\Program Files\\q.exe", L"-sig", L"x"}},
        {L"q.exe \"C:\\Data Files\\payload.dat\"", {L"q.exe", L"C:\\Data Files\\payload.dat"}},
        {L"q.exe \"C:\\dir\\\" next", {L"q.exe", L"C:\\dir\\", L"next"}},
        {L"q.exe a\\\"b c\"", {L"q.exe", L"a\\b c"}},
        {L"q.exe \"\" x", {L"q.exe", L"x"}},
        {L"q.exe \"\"\"\" \"\"x", {L"q.exe", L"x"}},
        {L"\"\" q.exe", {L"q.exe"}},
        {L"q.exe \"\" \"\"", {L"q.exe"}},
        {L"q.exe a\"\"b", {L"q.exe", L"ab"}},
        {L"q.exe \"a\"\"b\"", {L"q.exe", L"ab"}},
        {L"q.exe a\"b c\"d", {L"q.exe", L"ab cd"}},
        {L"q.exe \" \"", {L"q.exe", L" "}},
        {L"q.exe \"open to the end", {L"q.exe", L"open to the end"}},
        {L"q.exe x \"", {L"q.exe", L"x"}},
        {L"q.exe\ta\rb\nc\x01" L"d\x1F" L"e", {L"q.exe", L"a", L"b", L"c", L"d", L"e"}},
        {L"q.exe \x00A0x\x00E4", {L"q.exe", L"\x00A0x\x00E4"}},
        {std::wstring(L"q.exe x\0y", 9), {L"q.exe", L"x"}},
    };
    for (const auto& test : cases)
        EXPECT_EQ(SplitCommandLine(test.line), test.arguments) << test.line;
}

TEST(FindSwitchValue, FindsTheFirstSigSwitchAndItsValue)
{
    const struct {
        std::wstring line;
        bool found;
        std::wstring value;
    } cases[] = {
        {L"q.exe", false, L""},
        {L"q.exe -sig x", true, L"x"},
        {L"q.exe /sig x", true, L"x"},
        {L"q.exe -SIG x", true, L"x"},
        {L"q.exe /Sig:x", true, L"x"},
        {L"q.exe -sig:x", true, L"x"},
        {L"q.exe -sigx", true, L"x"},
        {L"q.exe -sig=x", true, L"=x"},
        {L"q.exe -sig::x", true, L":x"},
        {L"q.exe -signature.dat", true, L"nature.dat"},
        {L"q.exe -sig", true, L""},
        {L"q.exe -sig:", true, L""},
        {L"q.exe -sig -other", true, L""},
        {L"q.exe -sig /other", true, L""},
        {L"q.exe -sig \"\" x", true, L"x"},
        {L"q.exe --sig x", false, L""},
        {L"q.exe sig x", false, L""},
        {L"q.exe -si x", false, L""},
        {L"q.exe -s\x0130g x", false, L""},
        {L"-sig x", false, L""},
        {L"q.exe -sig a -sig b", true, L"a"},
        {L"q.exe other /x -sig \"C:\\Data Files\\payload.dat\" more", true, L"C:\\Data Files\\payload.dat"},
    };
    for (const auto& test : cases) {
        std::wstring value = L"stale";
        EXPECT_EQ(FindSwitchValue(SplitCommandLine(test.line), L"sig", value), test.found) << test.line;
        EXPECT_EQ(value, test.value) << test.line;
    }
}

TEST(FindSwitchValue, TakesExplorersQuotedPathsForScan)
{
    const struct {
        std::wstring line;
        std::wstring value;
    } cases[] = {
        {L"\"C:\\Program Files\\Quorvane\\Quorvane.exe\" -scan \"C:\\\"", L"C:\\"},
        {L"q.exe -scan \"C:\\Users\\me\\New folder\\\"", L"C:\\Users\\me\\New folder\\"},
        {L"q.exe -scan \"C:\\Users\\me\\Downloads\\setup (1).exe\"", L"C:\\Users\\me\\Downloads\\setup (1).exe"},
        {L"q.exe /SCAN:\"D:\\\"", L"D:\\"},
    };
    for (const auto& test : cases) {
        std::wstring value;
        EXPECT_TRUE(FindSwitchValue(SplitCommandLine(test.line), L"scan", value)) << test.line;
        EXPECT_EQ(value, test.value) << test.line;
    }
}
