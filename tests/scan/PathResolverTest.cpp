// Path resolution: rooted paths, the %NAME%rest form, the search path and refused characters.
#include "scan/PathResolver.h"

#include "platform/Error.h"
#include "platform/TextCompare.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

class ResolveFilePathTest : public testing::Test {
protected:
    void SetUp() override
    {
        SetEnvironmentVariableW(L"QV_DIR", L"C:\\qv");
        SetEnvironmentVariableW(L"QV_EMPTY", nullptr);
    }
    void TearDown() override { SetEnvironmentVariableW(L"QV_DIR", nullptr); }
};

TEST_F(ResolveFilePathTest, ResolvesTable)
{
    wchar_t systemRoot[MAX_PATH] = {};
    ASSERT_NE(GetEnvironmentVariableW(L"SystemRoot", systemRoot, MAX_PATH), 0u);
    const std::wstring root = systemRoot;
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"C:\\x\\y.dll", L"C:\\x\\y.dll"},
        {L"C:x.dll", L"C:x.dll"},
        {L"\\%QV_DIR%\\x.dll", L"\\%QV_DIR%\\x.dll"},
        {L"/%QV_DIR%/x.dll", L"/%QV_DIR%/x.dll"},
        {L"\\\\?\\C:%QV_DIR%\\x.dll", L"\\\\?\\C:%QV_DIR%\\x.dll"},
        {L"\\\\?\\UNC\\srv\\%QV_DIR%\\x.dll", L"\\\\?\\UNC\\srv\\%QV_DIR%\\x.dll"},
        {L"%SystemRoot%\\System32\\shell32.dll", root + L"\\System32\\shell32.dll"},
        {L"%QV_DIR%\\x.dll", L"C:\\qv\\x.dll"},
        {L"x%QV_DIR%\\y.dll", L"C:\\qv\\y.dll"},
        {L"%qv_dir%\\x.dll", L"C:\\qv\\x.dll"},
        {L"%QV_NO_SUCH_VARIABLE%\\x.dll", L"%QV_NO_SUCH_VARIABLE%\\x.dll"},
        {L"a%QV_DIR%c%d\\x.dll", L"a%QV_DIR%c%d\\x.dll"},
        {L"%%\\x.dll", L"%%\\x.dll"},
        {L"%QV_DIR%", L""},
        {L"sub\\x.dll", L"sub\\x.dll"},
        {L"qv-no-such-file-anywhere.dll", L""},
    };
    for (const auto& [path, expected] : cases)
        EXPECT_EQ(ResolveFilePath(path), expected) << testing::PrintToString(path);
}

TEST_F(ResolveFilePathTest, FindsBareNameOnSearchPath)
{
    const std::wstring found = ResolveFilePath(L"notepad.exe");
    EXPECT_TRUE(EqualsOrdinalIgnoringCase(found, L"C:\\windows\\system32\\notepad.exe"))
        << testing::PrintToString(found);
}

TEST_F(ResolveFilePathTest, RefusesCharactersNotAllowedInPaths)
{
    const std::wstring paths[] = {
        L"C:\\a|b.dll",
        L"\"C:\\x.dll\"",
        L"C:\\a<b.dll",
        L"a>b.dll",
        std::wstring(L"C:\\a\x1f.dll"),
        std::wstring(L"C:\\a\0b.dll", 10),
        L"\"C:\\Program Files\\x.dll\" /s",
    };
    for (const std::wstring& path : paths)
        EXPECT_THROW(ResolveFilePath(path), AppError) << testing::PrintToString(path);
}

} // namespace
