// Read-only file mappings on real files: the bytes, the sharing held, the refusals.
#include "platform/FileMapping.h"

#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>

namespace {

// Whether aPath opens with aAccess while others hold it, sharing reading and writing.
bool Opens(const std::wstring& aPath, DWORD aAccess)
{
    FileHandle handle(CreateFileW(aPath.c_str(), aAccess, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
        0, nullptr));
    return handle.IsValid();
}

} // namespace

TEST(FileMapping, MapsTheWholeFileAndRefusesWritersWhileHeld)
{
    TempFolder folder;
    const std::wstring path = folder.Str() + L"\\data.bin";
    const std::string content = TestPayload(3 * 65536 + 5);
    WriteTestFile(path, content);
    {
        const FileMapping mapping = FileMapping::Open(path);
        ASSERT_EQ(mapping.Size(), content.size());
        EXPECT_EQ(std::memcmp(mapping.Data(), content.data(), content.size()), 0);
        EXPECT_TRUE(Opens(path, GENERIC_READ));
        EXPECT_FALSE(Opens(path, GENERIC_WRITE));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        // A second mapping of the same file, as a second scan would make.
        const FileMapping again = FileMapping::Open(path);
        EXPECT_EQ(std::memcmp(again.Data(), mapping.Data(), content.size()), 0);
    }
    EXPECT_TRUE(Opens(path, GENERIC_WRITE)) << "closed with its owner";
}

TEST(FileMapping, RefusesAnEmptyMissingOrWriterHeldFile)
{
    TempFolder folder;
    const std::wstring empty = folder.Str() + L"\\empty.bin";
    const std::wstring held = folder.Str() + L"\\held.bin";
    WriteTestFile(empty, "");
    WriteTestFile(held, "x");
    const FileHandle writer(CreateFileW(held.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
        nullptr));
    ASSERT_TRUE(writer.IsValid());
    EXPECT_EQ(MessageOf([&] { FileMapping::Open(empty); }), L"File is empty");
    EXPECT_THAT(MessageOf([&] { FileMapping::Open(folder.Str() + L"\\none.bin"); }),
        testing::StartsWith(L"Cannot open file \""));
    EXPECT_EQ(CodeOf([&] { FileMapping::Open(held); }), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}
