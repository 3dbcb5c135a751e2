// The test programs' temporary folders go away whole, awkward names included.
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(TempFolder, RemovesNamesThatOnlyExtendedPathsReach)
{
    std::wstring path;
    {
        TempFolder folder;
        path = folder.Str();
        const std::wstring extended = L"\\\\?\\" + path;
        ASSERT_TRUE(CreateDirectoryW((extended + L"\\sub.").c_str(), nullptr));
        const HANDLE file = CreateFileW((extended + L"\\sub.\\name. ").c_str(), GENERIC_WRITE, 0, nullptr,
            CREATE_NEW, FILE_ATTRIBUTE_READONLY, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        CloseHandle(file);
    }
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}
