// What a file scan covers: any depth, long roots, names ending in dots or spaces, and the files
// and folders it could not read, recorded or counted.
#include "tests/scan/ScanTestSupport.h"
#include "tests/scan/Tree.h"

#include "platform/Error.h"
#include "platform/Handle.h"
#include "platform/TextCompare.h"
#include "scan/FileScanner.h"
#include "scan/ScanRoot.h"
#include "settings/Settings.h"
#include "tests/support/QuickScan.h"
#include "tests/support/RecordingHost.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

namespace {

const std::wstring kBuilding = L"building file list...";
const std::wstring kLong = L"\\\\?\\";

// Deletes each object as it is reported, before it is read, when it is one of the doomed.
class VanishingHost : public RecordingHost {
public:
    explicit VanishingHost(std::vector<std::wstring> aDoomed) : doomed_(std::move(aDoomed)) {}
    void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress) override
    {
        if (std::find(doomed_.begin(), doomed_.end(), aObjectName) != doomed_.end())
            DeleteFileW((kLong + aObjectName).c_str());
        RecordingHost::SetScanInfo(aObjectName, aProgress);
    }

private:
    std::vector<std::wstring> doomed_;
};

class CoverageTest : public testing::Test {
protected:
    void SetUp() override { Settings().SetArchiveScan(false); }

    // Scans aRoots to the end; returns the reported names after "building file list...".
    std::vector<std::wstring> ScanAll(const std::vector<std::wstring>& aRoots)
    {
        UseQuickScanSettings(aRoots);
        scanner.emplace(&host);
        while (scanner->ScanNext()) {
        }
        std::vector<std::wstring> names;
        for (const Report& report : host.Reports())
            names.push_back(report.name);
        EXPECT_FALSE(names.empty());
        if (!names.empty()) {
            EXPECT_EQ(names.front(), kBuilding);
            names.erase(names.begin());
        }
        return names;
    }

    static void SortForUser(std::vector<std::wstring>& aPaths)
    {
        std::sort(aPaths.begin(), aPaths.end(), [](const auto& aA, const auto& aB) { return CompareForUser(aA, aB) < 0; });
    }

    TempFolder temp;
    const std::wstring root = temp.Str();
    RecordingHost host;
    // Made by ScanAll, with the options of its roots.
    std::optional<ReadingFileScanner> scanner;
};

// A file at a path of aLength characters below aFolder (a new folder of that name), through a chain
// of folders of 100-character names; returns its path as shown.
std::wstring DeepFile(const std::wstring& aFolder, std::size_t aLength, const std::string& aContent)
{
    std::wstring folder = aFolder;
    EXPECT_TRUE(CreateDirectoryW((kLong + folder).c_str(), nullptr));
    for (int level = 0; folder.size() + 1 + 100 + 6 < aLength; ++level) {
        folder += L"\\" + LongName(100, static_cast<wchar_t>(L'a' + level % 26));
        EXPECT_TRUE(CreateDirectoryW((kLong + folder).c_str(), nullptr)) << folder.size();
    }
    const std::wstring path = folder + L"\\" + LongName(aLength - folder.size() - 5, L'f') + L".exe";
    WriteNamedFile(kLong + path, aContent);
    return path;
}

} // namespace

TEST_F(CoverageTest, FilesAtAnyDepthAreReadInTheSortedOrderOfShallowOnes)
{
    std::vector<std::pair<std::wstring, std::string>> files;
    files.emplace_back(root + L"\\a.exe", "shallow a");
    files.emplace_back(root + L"\\zz.dll", "shallow z");
    for (const auto& [path, content] : files)
        WriteNamedFile(kLong + path, content);
    for (const std::size_t length : {300u, 1000u, 3500u}) {
        const std::wstring path = DeepFile(root + L"\\d" + std::to_wstring(length), length, "deep " + std::to_string(length));
        EXPECT_EQ(path.size(), length);
        files.emplace_back(path, "deep " + std::to_string(length));
    }
    std::sort(files.begin(), files.end(), [](const auto& aA, const auto& aB) { return CompareForUser(aA.first, aB.first) < 0; });
    std::vector<std::wstring> expected;
    std::string content;
    for (const auto& [path, text] : files) {
        expected.push_back(path);
        content += text;
    }

    EXPECT_EQ(ScanAll({root}), expected);
    EXPECT_EQ(scanner->content, content);
    EXPECT_TRUE(host.Findings().empty());
}

TEST_F(CoverageTest, LongRootsAndRootsWithSlashesOrDotDotAreWalkedAsGiven)
{
    const std::wstring name = LongName(250 - root.size() - 1, L'r');
    const std::wstring longRoot = root + L"\\" + name;
    ASSERT_EQ(longRoot.size(), 250u);
    ASSERT_TRUE(CreateDirectoryW((kLong + longRoot).c_str(), nullptr));
    WriteNamedFile(kLong + longRoot + L"\\x.exe", "x");
    const std::wstring dotted = root + L"/" + name + L"/../" + name;
    const struct {
        std::wstring Root;
        std::wstring System;
    } cases[] = {
        {longRoot, kLong + longRoot},
        {longRoot + L"\\", kLong + longRoot + L"\\"},
        {dotted, kLong + longRoot},
        {kLong + longRoot, kLong + longRoot},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CheckScanRoot(c.Root), c.System) << testing::PrintToString(c.Root);
        RecordingHost caseHost;
        UseQuickScanSettings({c.Root});
        ReadingFileScanner caseScanner(&caseHost);
        while (caseScanner.ScanNext()) {
        }
        const std::wstring file = c.Root.back() == L'\\' ? c.Root + L"x.exe" : c.Root + L"\\x.exe";
        EXPECT_EQ(caseHost.Reports(), (std::vector<Report>{{kBuilding, 0}, {file, 100}})) << testing::PrintToString(c.Root);
        EXPECT_EQ(caseScanner.content, "x") << testing::PrintToString(c.Root);
    }
}

TEST_F(CoverageTest, NamesEndingInDotsOrSpacesAreListedAndReadAsThemselves)
{
    const std::pair<const wchar_t*, const char*> files[] = {
        {L"evil.exe.", "dot"}, {L"evil.exe ", "space"}, {L"evil.exe", "plain"}, {L"evil.dll. .", "dots"}};
    std::vector<std::pair<std::wstring, std::string>> expected;
    for (const auto& [name, content] : files) {
        WriteNamedFile(kLong + root + L"\\" + name, content);
        expected.emplace_back(root + L"\\" + name, content);
    }
    std::sort(expected.begin(), expected.end(), [](const auto& aA, const auto& aB) { return CompareForUser(aA.first, aB.first) < 0; });
    std::vector<std::wstring> paths;
    std::string content;
    for (const auto& [path, text] : expected) {
        paths.push_back(path);
        content += text;
    }

    EXPECT_EQ(ScanAll({root}), paths);
    EXPECT_EQ(scanner->content, content);
}

TEST_F(CoverageTest, AFileHeldWithoutSharingIsNotScannedAndTheScanGoesOn)
{
    WriteTestFile(root + L"\\a.exe", "held");
    WriteTestFile(root + L"\\b.exe", "free");
    const FileHandle holder(CreateFileW((root + L"\\a.exe").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());

    EXPECT_EQ(ScanAll({root}), (std::vector<std::wstring>{root + L"\\a.exe", root + L"\\b.exe"}));
    EXPECT_EQ(scanner->content, "free");
    const std::vector<TFinding> findings = host.Findings();
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].Object, root + L"\\a.exe");
    EXPECT_EQ(findings[0].Kind, TFindingKind::NotScanned);
    EXPECT_EQ(findings[0].ErrorCode, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(findings[0].Threat, SystemMessage(ERROR_SHARING_VIOLATION));
    EXPECT_EQ(host.Skipped(), TSkippedCounts{});
}

TEST_F(CoverageTest, AFileThatVanishesBeforeItIsReadIsCountedNotListed)
{
    WriteTestFile(root + L"\\a.exe", "a");
    WriteNamedFile(kLong + root + L"\\b.exe.", "b");
    WriteTestFile(root + L"\\c.exe", "c");
    VanishingHost vanishing({root + L"\\a.exe", root + L"\\b.exe."});
    UseQuickScanSettings({root});
    ReadingFileScanner reader(&vanishing);
    while (reader.ScanNext()) {
    }
    EXPECT_EQ(reader.content, "c");
    EXPECT_TRUE(vanishing.Findings().empty());
    EXPECT_EQ(vanishing.Skipped(), (TSkippedCounts{0, 0, 2}));
}

// Wine's calls stop near 4,096 bytes of Linux path: a folder Linux made beyond that cannot be
// searched, a real failing search (error 31 under Wine 8).
TEST_F(CoverageTest, AFolderWhoseSearchFailsIsNotScannedOnceAndTheScanGoesOn)
{
    const std::wstring base = DeepFile(root + L"\\deep", 3300, "near the limit");
    const std::wstring baseFolder = base.substr(0, base.rfind(L'\\'));
    std::string chain;
    for (char fill = 'p'; fill < 'u'; ++fill)
        chain += (chain.empty() ? "" : "/") + std::string(200, fill);
    const LinuxFolders beyond(baseFolder, chain);
    if (!beyond.Made())
        GTEST_SKIP() << "folders beyond Wine's reach need Linux";
    WriteTestFile(root + L"\\after.exe", "after");

    // Overlapping roots walk the failing folder twice: it is one entry.
    const std::vector<std::wstring> names = ScanAll({root, root + L"\\deep"});
    EXPECT_EQ(std::count(names.begin(), names.end(), root + L"\\after.exe"), 1);
    EXPECT_NE(scanner->content.find("after"), std::string::npos);
    EXPECT_NE(scanner->content.find("near the limit"), std::string::npos);
    const std::vector<TFinding> findings = host.Findings();
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_TRUE(findings[0].Object.starts_with(baseFolder + L"\\" + std::wstring(200, L'p'))) << findings[0].Object.size();
    EXPECT_EQ(findings[0].Kind, TFindingKind::NotScanned);
    EXPECT_NE(findings[0].ErrorCode, 0u);
    EXPECT_EQ(findings[0].Threat, SystemMessage(findings[0].ErrorCode));
}
