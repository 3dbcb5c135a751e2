// The wrappers' three answers: an entry or data, the end, or a failure carrying the system's code;
// an entry parameter changes only when an entry is returned.
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/FindFile.h"
#include "platform/Handle.h"
#include "platform/SharedReadFile.h"
#include "platform/ToolhelpSnapshot.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

void WriteFileBytes(const std::wstring& aPath, const std::string& aBytes)
{
    std::ofstream(std::filesystem::path(aPath), std::ios::binary) << aBytes;
}

WIN32_FIND_DATAW MarkedFindData()
{
    WIN32_FIND_DATAW data;
    std::memset(&data, 0xAB, sizeof data);
    return data;
}

bool SameBytes(const void* aLeft, const void* aRight, std::size_t aSize)
{
    return std::memcmp(aLeft, aRight, aSize) == 0;
}

class WalkAndReadTest : public testing::Test {
protected:
    TempFolder folder_;
    const std::wstring root_ = folder_.Str();
};

TEST_F(WalkAndReadTest, FolderSearchListsToTheEndAndKeepsTheLastEntry)
{
    WriteFileBytes(root_ + L"\\a.txt", "a");
    FindFile search;
    WIN32_FIND_DATAW data{};
    std::vector<std::wstring> names;
    for (bool found = search.First(root_ + L"\\*", data); found; found = search.Next(data))
        names.emplace_back(data.cFileName);
    EXPECT_THAT(names, testing::UnorderedElementsAre(L".", L"..", L"a.txt"));
    EXPECT_EQ(data.cFileName, names.back());
    EXPECT_FALSE(search.Next(data)) << "still at the end";
}

TEST_F(WalkAndReadTest, FolderSearchTellsNoMatchFromFailure)
{
    FindFile search;
    WIN32_FIND_DATAW data = MarkedFindData();
    const WIN32_FIND_DATAW before = data;
    EXPECT_FALSE(search.First(root_ + L"\\*.none", data));
    EXPECT_TRUE(SameBytes(&data, &before, sizeof data));

    const std::wstring missing = root_ + L"\\missing\\*";
    EXPECT_EQ(CodeOf([&] { search.First(missing, data); }), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_THAT(MessageOf([&] { search.First(missing, data); }), testing::StartsWith(L"Cannot search " + missing + L": "));
    EXPECT_TRUE(SameBytes(&data, &before, sizeof data));
}

TEST(ToolhelpSnapshot, ProcessWalkFindsThisProcessAndEnds)
{
    const ToolhelpSnapshot processes(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    bool self = false;
    for (bool found = processes.FirstProcess(entry); found; found = processes.NextProcess(entry))
        self = self || entry.th32ProcessID == GetCurrentProcessId();
    EXPECT_TRUE(self);
    EXPECT_FALSE(processes.NextProcess(entry));
}

TEST(ToolhelpSnapshot, RefusedStepThrowsItsCodeAndLeavesTheEntry)
{
    const ToolhelpSnapshot processes(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry;
    std::memset(&entry, 0xAB, sizeof entry);
    entry.dwSize = 4;
    const PROCESSENTRY32W before = entry;
    const std::optional<DWORD> code = CodeOf([&] { processes.FirstProcess(entry); });
    ASSERT_TRUE(code) << "an entry too small for the walk was filled";
    EXPECT_NE(*code, 0u);
    EXPECT_TRUE(SameBytes(&entry, &before, sizeof entry));
}

TEST_F(WalkAndReadTest, SharedReadTellsTheEndFromFailure)
{
    const std::wstring path = root_ + L"\\data.bin";
    WriteFileBytes(path, "12345");
    SharedReadFile file(path);
    char buffer[4];
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 4u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 1u);
    EXPECT_EQ(file.Read(buffer, sizeof buffer), 0u);
    EXPECT_EQ(CodeOf([&] { SharedReadFile missing(root_ + L"\\missing.bin"); }), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST_F(WalkAndReadTest, FileTransfersFailWithTheirCode)
{
    const std::wstring path = root_ + L"\\data.bin";
    WriteFileBytes(path, "123");
    File file = File::OpenExisting(path, File::Access::Read, 0);
    char buffer[4];
    const struct {
        const char* what;
        std::function<void()> action;
        std::wstring message;
        DWORD code;
    } cases[] = {
        {"read past the end", [&] { file.ReadBuffer(buffer, 4); }, L"Stream read error", 0},
        {"write to a read-only handle", [&] { file.WriteBuffer("x", 1); }, L"Stream write error", ERROR_ACCESS_DENIED},
        {"open while held", [&] { File::OpenExisting(path, File::Access::Read, 0); }, L"Cannot open file \"",
            ERROR_SHARING_VIOLATION},
    };
    for (const auto& c : cases) {
        EXPECT_THAT(MessageOf(c.action), testing::StartsWith(c.message)) << c.what;
        EXPECT_EQ(CodeOf(c.action), c.code) << c.what;
    }
    EXPECT_THAT(MessageOf([&] { file.SetLength(1); }), testing::StartsWith(L"Cannot set the file length: "));
    EXPECT_NE(CodeOf([&] { file.SetLength(1); }).value_or(0), 0u);
}

} // namespace
