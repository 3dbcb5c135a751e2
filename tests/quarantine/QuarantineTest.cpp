#include "quarantine/Quarantine.h"

#include "platform/Error.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace quarantine {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void WriteAll(const fs::path& aPath, const std::string& aBytes)
{
    std::ofstream(aPath, std::ios::binary) << aBytes;
}

struct Stamp {
    DWORD Attributes;
    FILETIME Created, Accessed, Written;
};

Stamp StampOf(const fs::path& aPath)
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    EXPECT_TRUE(GetFileAttributesExW(aPath.c_str(), GetFileExInfoStandard, &data));
    return {data.dwFileAttributes, data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime};
}

bool SameTime(FILETIME aA, FILETIME aB) { return CompareFileTime(&aA, &aB) == 0; }

class QuarantineTest : public ::testing::Test {
protected:
    TempFolder files_;
    TempFolder store_;

    std::vector<Item> Items() { return ListItems(store_.Str()); }
};

TEST_F(QuarantineTest, RoundTripKeepsBytesAttributesAndTimes)
{
    const std::wstring names[] = {L"eicar.com", L"ends in a dot.", L"caf\u00e9 \u4e2d\u6587.bin",
        std::wstring(120, L'd') + L"\\" + std::wstring(120, L'e') + L"\\" + std::wstring(40, L'f')};
    for (const std::wstring& name : names) {
        const std::wstring path = L"\\\\?\\" + files_.Str() + L"\\" + name;
        fs::create_directories(fs::path(path).parent_path());
        const std::string content = EicarText();
        WriteAll(path, content);
        const FILETIME old{0x12345678, 0x01C00000};
        {
            HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            SetFileTime(file, &old, &old, &old);
            CloseHandle(file);
        }
        ASSERT_TRUE(SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE));
        const Stamp before = StampOf(path);

        const Outcome outcome = QuarantineFile(path, L"Eicar-Test-Signature", vault::ThreatKind::Infected, store_.Str());
        ASSERT_TRUE(outcome.Succeeded) << testing::PrintToString(outcome.Message);
        EXPECT_FALSE(fs::exists(path));
        const auto items = Items();
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].Header.Path, std::u16string(path.begin(), path.end()));
        EXPECT_EQ(items[0].Header.Threat, u"Eicar-Test-Signature");
        EXPECT_EQ(ReadAll(items[0].File).find(content), std::string::npos) << "the stored bytes are inert";

        ASSERT_EQ(RestoreItem(items[0].File).Result, RestoreResult::Restored);
        EXPECT_EQ(ReadAll(path), content);
        const Stamp after = StampOf(path);
        EXPECT_EQ(after.Attributes, before.Attributes);
        EXPECT_TRUE(SameTime(after.Created, before.Created));
        EXPECT_TRUE(SameTime(after.Written, before.Written));
        EXPECT_TRUE(Items().empty());
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    }
}

TEST_F(QuarantineTest, AFileInUseStaysAndLeavesNoItem)
{
    const fs::path path = files_.Path() / L"busy.com";
    WriteAll(path, EicarText());
    HANDLE holder = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const Outcome quarantined = QuarantineFile(path, L"x", vault::ThreatKind::Infected, store_.Str());
    const Outcome deleted = DeleteFinding(path);
    CloseHandle(holder);
    for (const Outcome& outcome : {quarantined, deleted}) {
        EXPECT_FALSE(outcome.Succeeded);
        EXPECT_EQ(outcome.Message, SystemMessage(ERROR_SHARING_VIOLATION));
    }
    EXPECT_EQ(ReadAll(path), EicarText());
    EXPECT_TRUE(fs::is_empty(store_.Path()));
}

TEST_F(QuarantineTest, EveryStepLeavesTheFileSomewhere)
{
    for (Step failAt : {Step::Opened, Step::Written, Step::Flushed, Step::Verified, Step::Renamed}) {
        const fs::path path = files_.Path() / L"step.com";
        WriteAll(path, EicarText());
        const Outcome outcome = QuarantineFile(path, L"x", vault::ThreatKind::Infected, store_.Str(), [&](Step aStep) {
            if (aStep == failAt)
                throw AppError(L"stopped");
        });
        EXPECT_FALSE(outcome.Succeeded);
        EXPECT_EQ(ReadAll(path), EicarText()) << static_cast<int>(failAt);
        EXPECT_TRUE(fs::is_empty(store_.Path())) << static_cast<int>(failAt);
    }
}

TEST_F(QuarantineTest, StartUpRemovesOnlyTemporaryItemsNobodyHolds)
{
    WriteAll(store_.Path() / L"{left}.partial", "x");
    WriteAll(store_.Path() / L"{kept}", "x");
    const fs::path held = store_.Path() / L"{held}.partial";
    HANDLE holder = CreateFileW(held.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    RemoveTemporaryItems(store_.Str());
    EXPECT_FALSE(fs::exists(store_.Path() / L"{left}.partial"));
    EXPECT_TRUE(fs::exists(store_.Path() / L"{kept}"));
    EXPECT_TRUE(fs::exists(held));
    CloseHandle(holder);
}

TEST_F(QuarantineTest, DamagedOrHostileItemsAreRefusedAndWriteNothing)
{
    const fs::path path = files_.Path() / L"victim.com";
    WriteAll(path, EicarText());
    ASSERT_TRUE(QuarantineFile(path, L"x", vault::ThreatKind::Infected, store_.Str()).Succeeded);
    const fs::path item = Items().at(0).File;
    const std::string good = ReadAll(item);
    const auto withPath = [&](const std::u16string& aPath) {
        vault::ItemHeader header = Items().at(0).Header;
        const std::size_t oldLength = vault::SerializeHeader(header).size();
        header.Path = aPath;
        const auto bytes = vault::SerializeHeader(header);
        return std::string(bytes.begin(), bytes.end()) + good.substr(oldLength);
    };
    std::string flipped = good;
    flipped.back() ^= 1;
    const std::string cases[] = {
        good.substr(0, good.size() - 1),
        good.substr(0, 100),
        flipped,
        withPath(u"\\\\.\\PhysicalDrive0"),
        withPath(std::u16string(path.u16string()) + u"\\..\\..\\..\\escaped.com"),
    };
    for (const std::string& bytes : cases) {
        WriteAll(item, bytes);
        const RestoreOutcome outcome = RestoreItem(item);
        EXPECT_EQ(outcome.Result, RestoreResult::Damaged);
        EXPECT_EQ(outcome.Message, kDamagedMessage);
        EXPECT_FALSE(fs::exists(path));
        EXPECT_TRUE(fs::exists(item));
    }
}

TEST_F(QuarantineTest, RestoreOntoAnExistingFileAsksAndReplacesOnlyWhenTold)
{
    const fs::path path = files_.Path() / L"again.com";
    WriteAll(path, EicarText());
    ASSERT_TRUE(QuarantineFile(path, L"x", vault::ThreatKind::Infected, store_.Str()).Succeeded);
    WriteAll(path, "newer");
    const std::wstring item = Items().at(0).File;
    EXPECT_EQ(RestoreItem(item).Result, RestoreResult::Exists);
    EXPECT_EQ(ReadAll(path), "newer");
    const fs::path other = files_.Path() / L"gone folder" / L"other.com";
    EXPECT_EQ(RestoreItem(item, other).Result, RestoreResult::Restored);
    EXPECT_EQ(ReadAll(other), EicarText());
    EXPECT_EQ(ReadAll(path), "newer");

    WriteAll(path, EicarText());
    ASSERT_TRUE(QuarantineFile(path, L"x", vault::ThreatKind::Infected, store_.Str()).Succeeded);
    WriteAll(path, "newer");
    EXPECT_EQ(RestoreItem(Items().at(0).File, {}, true).Result, RestoreResult::Restored);
    EXPECT_EQ(ReadAll(path), EicarText());
}

} // namespace
} // namespace quarantine
