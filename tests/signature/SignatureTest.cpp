// Loading and stamping signature files on real files: size bounds, damage, refused opens.
#include "signature/Signature.h"

#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"
#include "platform/Error.h"
#include "platform/Md5.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

constexpr std::int64_t kMin = TSignature::kMinFileSize;
constexpr std::int64_t kMax = TSignature::kMaxFileSize;
constexpr std::size_t kTrailer = sizeof(Md5Digest);
const std::wstring kLoadFailed = L"Signature loading failed: ";

// File contents; compared with ==, since a failed EXPECT_EQ would print all 16 MiB.
using Bytes = std::string;

Bytes Payload(std::int64_t aSize)
{
    return TestPayload(static_cast<std::size_t>(aSize));
}

Bytes Stamped(std::int64_t aTotal)
{
    return StampedPayload(static_cast<std::size_t>(aTotal));
}

Bytes ReadBytes(const std::wstring& aPath)
{
    std::ifstream in(std::filesystem::path(aPath), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The message of the error that loading aPath throws; empty when it loads.
std::wstring LoadError(const std::wstring& aPath)
{
    try {
        TSignature signature(aPath);
        EXPECT_EQ(signature.Data().size(), std::filesystem::file_size(aPath) - kTrailer);
        return {};
    } catch (const AppError& error) {
        return error.Message();
    }
}

std::wstring StampError(const std::wstring& aPath)
{
    try {
        TSignature::StampFile(aPath);
        return {};
    } catch (const AppError& error) {
        return error.Message();
    }
}

// What loading or stamping aPath throws; empty when it succeeds.
std::optional<AppError> LoadFailure(const std::wstring& aPath)
{
    try {
        TSignature signature(aPath);
    } catch (const AppError& error) {
        return error;
    }
    return std::nullopt;
}

std::optional<AppError> StampFailure(const std::wstring& aPath)
{
    try {
        TSignature::StampFile(aPath);
    } catch (const AppError& error) {
        return error;
    }
    return std::nullopt;
}

// Expects aError to be the refused open of the file at aFullPath, with aCode, after aContext.
void ExpectOpenFailure(const std::optional<AppError>& aError, const std::wstring& aContext,
    const std::wstring& aFullPath, DWORD aCode)
{
    ASSERT_TRUE(aError) << "no error";
    EXPECT_THAT(aError->Message(), testing::StartsWith(aContext + L"Cannot open file \"" + aFullPath + L"\". "));
    EXPECT_GT(aError->Message().size(), aContext.size() + aFullPath.size() + 21) << "the system's text follows";
    EXPECT_EQ(aError->Code(), aCode);
}

FileHandle OpenWithoutSharing(const std::wstring& aPath)
{
    return FileHandle(CreateFileW(aPath.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
}

class SignatureFile : public testing::Test {
protected:
    TempFolder folder_;
    const std::wstring path_ = folder_.Str() + L"\\signature.dat";
};

} // namespace

TEST_F(SignatureFile, LoadingAcceptsOnlySizesWithinBounds)
{
    const struct {
        std::int64_t size;
        std::wstring error;
    } cases[] = {
        {kMin - 1, kLoadFailed + L"Invalid file"},
        {kMin, L""},
        {kMax, L""},
        {kMax + 1, kLoadFailed + L"Invalid file"},
    };
    for (const auto& test : cases) {
        WriteTestFile(path_, Stamped(test.size));
        EXPECT_EQ(LoadError(path_), test.error) << test.size;
    }
}

TEST_F(SignatureFile, AnyChangedByteIsRefused)
{
    const Bytes good = Stamped(kMin);
    const std::size_t positions[] = {0, good.size() / 2, good.size() - kTrailer - 1, good.size() - kTrailer,
        good.size() - 1};
    for (const std::size_t position : positions) {
        Bytes bad = good;
        bad[position] ^= 0x01;
        WriteTestFile(path_, bad);
        EXPECT_EQ(LoadError(path_), kLoadFailed + L"Invalid file") << position;
    }
}

TEST_F(SignatureFile, MissingFileOrFolderIsNotFound)
{
    EXPECT_EQ(LoadError(path_), kLoadFailed + L"File not found");
    std::filesystem::create_directory(path_);
    EXPECT_EQ(LoadError(path_), kLoadFailed + L"File not found");
}

TEST_F(SignatureFile, FileHeldWithoutSharingCannotBeOpened)
{
    WriteTestFile(path_, Stamped(kMin));
    const FileHandle holder = OpenWithoutSharing(path_);
    ASSERT_TRUE(holder.IsValid());
    ExpectOpenFailure(LoadFailure(path_), kLoadFailed, path_, ERROR_SHARING_VIOLATION);
    ExpectOpenFailure(StampFailure(path_), L"", path_, ERROR_SHARING_VIOLATION);
}

// Two scans may load the file at once; writers, stamping among them, wait for both to end.
TEST_F(SignatureFile, LoadedSignatureSharesTheFileWithReadersOnlyUntilDestroyed)
{
    WriteTestFile(path_, Stamped(kMin));
    const auto openForWriting = [this] {
        return FileHandle(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
            OPEN_EXISTING, 0, nullptr));
    };
    {
        const TSignature first(path_);
        const TSignature second(path_);
        EXPECT_FALSE(openForWriting().IsValid());
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
        EXPECT_FALSE(OpenWithoutSharing(path_).IsValid());
        ExpectOpenFailure(StampFailure(path_), L"", path_, ERROR_SHARING_VIOLATION);
    }
    {
        const FileHandle writer = openForWriting();
        ASSERT_TRUE(writer.IsValid());
        ExpectOpenFailure(LoadFailure(path_), kLoadFailed, path_, ERROR_SHARING_VIOLATION);
    }
    EXPECT_TRUE(OpenWithoutSharing(path_).IsValid());
    EXPECT_EQ(std::filesystem::file_size(path_), static_cast<std::uintmax_t>(kMin));
}

// A load asks whether to go on at least every 4 MiB while it reads and hashes; once told to stop it
// throws Cancelled, which is no loading failure, and leaves the file closed.
TEST_F(SignatureFile, CancelledLoadStopsAtOnceAndClosesTheFile)
{
    WriteTestFile(path_, Stamped(kMin));
    int questions = 0;
    TSignature(path_, [&] {
        ++questions;
        return false;
    });
    EXPECT_GE(questions, 2 * kMin / (4 << 20)) << "the read and the digest, each 4 MiB at most between questions";

    for (const int stopAt : {1, questions / 2, questions}) {
        int asked = 0;
        EXPECT_THROW(TSignature(path_, [&] { return ++asked == stopAt; }), detect::Cancelled) << stopAt;
        EXPECT_EQ(asked, stopAt);
        EXPECT_TRUE(OpenWithoutSharing(path_).IsValid()) << stopAt;
    }
}

TEST(Signature, DefaultPlaceIsBesideTheExecutable)
{
    const std::wstring besideExe = ExeFolder() + L"signature.dat";
    std::filesystem::create_directory(besideExe);
    try {
        TSignature signature;
        ADD_FAILURE() << "a folder loaded as the signature file";
    } catch (const AppError& error) {
        EXPECT_EQ(error.Message(), kLoadFailed + L"File not found");
    }
    std::filesystem::remove(besideExe);

    WriteTestFile(besideExe, Stamped(kMin));
    EXPECT_EQ(TSignature().Data().size(), static_cast<std::size_t>(kMin) - kTrailer);
    std::filesystem::remove(besideExe);
}

TEST_F(SignatureFile, StampingAppendsTheDigestOfTheFormerContent)
{
    for (const std::int64_t size : {kMin, kMax}) {
        const Bytes payload = Payload(size);
        WriteTestFile(path_, payload);
        EXPECT_EQ(StampError(path_), L"") << size;
        const Bytes stamped = ReadBytes(path_);
        ASSERT_EQ(stamped.size(), payload.size() + kTrailer);
        EXPECT_TRUE(std::equal(payload.begin(), payload.end(), stamped.begin()));
        const Md5Digest digest = Md5(payload.data(), payload.size());
        EXPECT_EQ(0, std::memcmp(stamped.data() + payload.size(), digest.data(), kTrailer));
    }
    // The stamped 48 MiB file is 16 bytes over the bound.
    EXPECT_EQ(LoadError(path_), kLoadFailed + L"Invalid file");
}

TEST_F(SignatureFile, StampingRefusesSizesOutOfBoundsAndLeavesTheFile)
{
    for (const std::int64_t size : {kMin - 16, kMin - 1, kMax + 1}) {
        const Bytes payload = Payload(size);
        WriteTestFile(path_, payload);
        EXPECT_EQ(StampError(path_), L"Invalid file") << size;
        EXPECT_TRUE(ReadBytes(path_) == payload) << size;
    }
}

TEST_F(SignatureFile, StampingTwiceAppendsTwoDigestsAndStillLoads)
{
    WriteTestFile(path_, Payload(kMin));
    TSignature::StampFile(path_);
    TSignature::StampFile(path_);
    EXPECT_EQ(std::filesystem::file_size(path_), static_cast<std::uintmax_t>(kMin) + 2 * kTrailer);
    EXPECT_EQ(LoadError(path_), L"");
}

TEST_F(SignatureFile, StampingNamesNoFileForMissingFolderOrEmptyPath)
{
    std::filesystem::create_directory(folder_.Path() / L"folder");
    for (const std::wstring& path : {path_, folder_.Str() + L"\\folder", std::wstring()})
        EXPECT_EQ(StampError(path), L"File not found") << path;
}

TEST_F(SignatureFile, RelativePathIsTakenFromTheCurrentFolderAndShownInFull)
{
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder_.Str().c_str()));
    WriteTestFile(path_, Payload(kMin));
    {
        const FileHandle holder = OpenWithoutSharing(path_);
        ExpectOpenFailure(StampFailure(L"signature.dat"), L"", path_, ERROR_SHARING_VIOLATION);
    }
    EXPECT_EQ(StampError(L"signature.dat"), L"");
    SetCurrentDirectoryW(previous);
    EXPECT_EQ(std::filesystem::file_size(path_), static_cast<std::uintmax_t>(kMin) + kTrailer);
}

TEST_F(SignatureFile, StampingReadOnlyFileFailsToOpenAndLeavesIt)
{
    const Bytes payload = Payload(kMin);
    WriteTestFile(path_, payload);
    ASSERT_TRUE(SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_READONLY));
    const bool writable = FileHandle(CreateFileW(path_.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, 0, nullptr)).IsValid();
    std::optional<AppError> error;
    if (!writable)
        error = StampFailure(path_);
    SetFileAttributesW(path_.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (writable)
        GTEST_SKIP() << "the read-only attribute does not stop this user from writing (root under Wine)";
    ExpectOpenFailure(error, L"", path_, ERROR_ACCESS_DENIED);
    EXPECT_TRUE(ReadBytes(path_) == payload);
}
