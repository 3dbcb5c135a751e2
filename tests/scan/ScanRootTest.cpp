// The root check: which roots pass, and the message of each that fails.
#include "tests/scan/Tree.h"
#include "platform/Error.h"
#include "scan/ScanRoot.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

// "" when aRoot passes, otherwise the message of the error.
std::wstring Check(const std::wstring& aRoot)
{
    try {
        CheckScanRoot(aRoot);
        return L"";
    } catch (const AppError& error) {
        return error.Message();
    }
}

}

TEST(ScanRoot, RejectsMalformedAndMissingRoots)
{
    TempFolder temp;
    const std::wstring root = temp.Str();
    MakeTree(root, {L"Data\\", L"file.exe"});
    const std::wstring invalid = L"Invalid folder: ";
    const std::wstring missing = L"Folder not found: ";
    const std::wstring cases[][2] = {
        {root, L""},
        {root + L"\\Data\\", L""},
        {root + L"/Data", L""},
        {L"\\\\?\\" + root + L"\\Data", L""},
        {L"", invalid},
        {L"   ", invalid},
        {root + L"\\a|b", invalid},
        {root + L"\\a\"b", invalid},
        {root + L"\\a<b", invalid},
        {root + L"\\a>b", invalid},
        {root + L"\\a\tb", invalid},
        {root + L"\\Data:stream", invalid},
        {L"1:\\Data", invalid},
        {root + L"\\" + LongName(250, L'x'), missing},
        {root + L"\\Missing", missing},
        {root + L"\\Missing\\Deeper", missing},
        {root + L"\\file.exe", missing},
        {L"Q:\\Data", missing},
        {root + L"\\Dat?", missing},
        {root + L"\\D*", missing},
    };
    for (const auto& c : cases) {
        const std::wstring expected = c[1].empty() ? L"" : c[1] + c[0];
        EXPECT_EQ(Check(c[0]), expected) << c[0];
    }
}

TEST(ScanRoot, LinkCountsOnlyWhenItsTargetOpens)
{
    TempFolder temp;
    const std::wstring root = temp.Str();
    MakeTree(root, {L"Data\\", L"Gone\\"});
    const LinuxLink good(root + L"\\good", "Data");
    const LinuxLink dangling(root + L"\\dangling", "Gone");
    if (!good.Made() || !dangling.Made())
        GTEST_SKIP() << "Linux links need Wine";
    EXPECT_EQ(Check(root + L"\\good"), L"");
    ASSERT_TRUE(RemoveDirectoryW((root + L"\\Gone").c_str()));
    EXPECT_EQ(Check(root + L"\\dangling"), L"Folder not found: " + root + L"\\dangling");
    // The link must be visible again for its removal.
    ASSERT_TRUE(CreateDirectoryW((root + L"\\Gone").c_str(), nullptr));
}
