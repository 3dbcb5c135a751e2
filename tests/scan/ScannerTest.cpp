// The object reader: block sizes, refused opens, sharing, termination and the WOW64 fallback.
#include "tests/scan/ScanTestSupport.h"

#include "platform/Error.h"
#include "platform/Handle.h"
#include "platform/Wow64Redirection.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

namespace {

using Reader = BlockRecorder<TScanner>;

std::string Pattern(std::size_t aSize)
{
    std::string text(aSize, '\0');
    for (std::size_t i = 0; i < aSize; ++i)
        text[i] = static_cast<char>('a' + i % 23);
    return text;
}

class ScanFileTest : public testing::Test {
protected:
    RecordingHost host;
    Reader reader{&host};
    TempFolder folder;
};

TEST_F(ScanFileTest, ReadsWholeFileInBlocksOf8192)
{
    struct Case {
        std::size_t size;
        std::vector<DWORD> blocks;
    };
    const Case cases[] = {
        {0, {}},
        {1, {1}},
        {8192, {8192}},
        {8193, {8192, 1}},
        {20000, {8192, 8192, 3616}},
    };
    for (const Case& c : cases) {
        const std::wstring path = folder.Str() + L"\\f" + std::to_wstring(c.size) + L".bin";
        WriteTestFile(path, Pattern(c.size));
        Reader scanner(&host);
        scanner.ScanFile(path);
        EXPECT_EQ(scanner.blockSizes, c.blocks) << c.size;
        EXPECT_EQ(scanner.content, Pattern(c.size)) << c.size;
    }
}

TEST_F(ScanFileTest, ReadsNothingForPathsThatNameNoReadableFile)
{
    const std::wstring file = folder.Str() + L"\\x.dll";
    WriteTestFile(file, "content");
    const std::wstring paths[] = {
        L"",
        folder.Str(),
        folder.Str() + L"\\missing.dll",
        L"%QV_NO_SUCH_VARIABLE%\\x.dll",
        L"qv-no-such-file-anywhere.dll",
        file + L"|",
        L"\"" + file + L"\"",
    };
    for (const std::wstring& path : paths) {
        reader.ScanFile(path);
        EXPECT_TRUE(reader.blockSizes.empty()) << testing::PrintToString(path);
    }
    // Each but the empty path is a registered file that does not exist: counted, never listed.
    EXPECT_TRUE(host.Findings().empty());
    EXPECT_EQ(host.Skipped(), (TSkippedCounts{0, static_cast<std::int64_t>(std::size(paths) - 1), 0}));
}

TEST_F(ScanFileTest, FileHeldWithoutReadSharingIsNotRead)
{
    const std::wstring path = folder.Str() + L"\\locked.dll";
    WriteTestFile(path, "locked");
    const FileHandle holder(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    reader.ScanFile(path);
    EXPECT_TRUE(reader.blockSizes.empty());
    const std::vector<TFinding> findings = host.Findings();
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].Object, path);
    EXPECT_EQ(findings[0].Kind, TFindingKind::NotScanned);
    EXPECT_EQ(findings[0].ErrorCode, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(findings[0].Threat, SystemMessage(ERROR_SHARING_VIOLATION));
}

TEST_F(ScanFileTest, FileBeingWrittenWithReadSharingIsRead)
{
    const std::wstring path = folder.Str() + L"\\growing.log";
    const FileHandle writer(CreateFileW(
        path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(writer.IsValid());
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(writer.Get(), "written so far", 14, &written, nullptr));
    reader.ScanFile(path);
    EXPECT_EQ(reader.content, "written so far");
}

TEST_F(ScanFileTest, TerminationStopsReadingBetweenBlocks)
{
    const std::wstring path = folder.Str() + L"\\big.bin";
    WriteTestFile(path, Pattern(3 * 8192));
    host.RequestTermination();
    reader.ScanFile(path);
    EXPECT_EQ(reader.blockSizes, std::vector<DWORD>{8192});
}

// A failure inside one object's inspection, lack of memory among them, leaves a "Not scanned"
// entry with its reason, and the next object is read.
TEST_F(ScanFileTest, AFailureWhileInspectingIsNotScannedWithItsReason)
{
    class FailingReader : public Reader {
    public:
        using Reader::Reader;
        void ScanBuffer(const std::uint8_t* aBuffer, DWORD aCount) override
        {
            Reader::ScanBuffer(aBuffer, aCount);
            if (failure == 1)
                throw std::bad_alloc();
            if (failure == 2)
                throw std::runtime_error("broken");
        }
        int failure = 0;
    };
    const struct {
        int failure;
        DWORD code;
        std::wstring threat;
    } cases[] = {
        {1, ERROR_NOT_ENOUGH_MEMORY, SystemMessage(ERROR_NOT_ENOUGH_MEMORY)},
        {2, 0, L"Unexpected error"},
    };
    const std::wstring path = folder.Str() + L"\\object.dll";
    WriteTestFile(path, Pattern(3 * 8192));
    for (const auto& c : cases) {
        RecordingHost caseHost;
        FailingReader failing(&caseHost);
        failing.failure = c.failure;
        failing.ScanFile(path);
        EXPECT_EQ(failing.blockSizes, std::vector<DWORD>{8192}) << c.failure;
        const std::vector<TFinding> findings = caseHost.Findings();
        ASSERT_EQ(findings.size(), 1u) << c.failure;
        EXPECT_EQ(findings[0].Object, path);
        EXPECT_EQ(findings[0].Kind, TFindingKind::NotScanned);
        EXPECT_EQ(findings[0].ErrorCode, c.code);
        EXPECT_EQ(findings[0].Threat, c.threat);
        failing.failure = 0;
        failing.ScanFile(path);
        EXPECT_EQ(failing.blockSizes.size(), 4u) << "the next object is read whole";
        EXPECT_EQ(caseHost.Findings().size(), 1u);
    }
}

// A file that exists only in the native system folder is read through the fallback.
TEST_F(ScanFileTest, FileOnlyInNativeSystemFolderIsReadThroughFallback)
{
    const std::wstring path = L"C:\\windows\\system32\\qv-native-" + std::to_wstring(GetCurrentProcessId()) + L".bin";
    {
        const Wow64RedirectionOff nativeView;
        if (!nativeView.Active())
            GTEST_SKIP() << "no WOW64 redirection in this process";
        WriteTestFile(path, "native only");
    }
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << "visible in the 32-bit view";
    reader.ScanFile(path);
    EXPECT_EQ(reader.content, "native only");
    const Wow64RedirectionOff nativeView;
    DeleteFileW(path.c_str());
}

TEST(ScannerPercentage, IsComputedIn64Bits)
{
    struct Case {
        std::int32_t current;
        std::size_t count;
        int percent;
    };
    const Case cases[] = {
        {0, 1, 100},
        {0, 3, 33},
        {1, 3, 66},
        {2, 3, 100},
        {0, 200, 0},
        {1, 200, 1},
        {199, 200, 100},
        {48, 5000, 0},
        {49, 5000, 1},
        {21474836, 30000000, 71},
        {29999999, 30000000, 100},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Reader::Percentage(c.current, c.count), c.percent) << c.current << "/" << c.count;
}

} // namespace
