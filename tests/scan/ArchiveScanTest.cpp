// Looking inside archives: members matched as objects of their own, named "archive->member", the
// archive's own matches less its members', the limits and failures as "Not scanned" entries, Stop.
#include "tests/scan/ArchiveMaker.h"
#include "tests/scan/ScanTestSupport.h"

#include "platform/Md5.h"
#include "platform/Registry.h"
#include "scan/FileScanner.h"
#include "scan/ObjectInspector.h"
#include "scan/RegistryScanner.h"
#include "scan/ScannerThread.h"
#include "signature/Signature.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <map>
#include <thread>

namespace {

using Kind = detect::SignatureFileKind;

const std::string kInnerMarker = "QV-INNER-MEMBER-MARKER";

// The bytes the rar 5 fixture's member unpacks to: k*k - 3k + 1 as 32-bit little-endian values.
std::string Rar5FixtureTail()
{
    std::string bytes;
    for (std::int32_t k = 298; k <= 300; ++k) {
        const auto value = static_cast<std::uint32_t>(k * k - 3 * k + 1);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(static_cast<char>((value >> shift) & 0xFF));
    }
    return bytes;
}

SignatureLines ArchiveLines()
{
    SignatureLines lines = EicarLines();
    lines.push_back({Kind::Body, "Inner-Marker:0:*:" + HexOf(kInnerMarker)});
    lines.push_back({Kind::Body, "Bcj-Marker:0:*:" + HexOf("QV-BCJ-MEMBER-MARKER")});
    lines.push_back({Kind::Body, "Rar4-Text:0:*:" + HexOf("test text document")});
    lines.push_back({Kind::Body, "Rar5-Data:0:*:" + HexOf(Rar5FixtureTail())});
    return lines;
}

std::wstring ProgramFolder()
{
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L'\\'));
}

void CopyFixture(const std::wstring& aName, const std::wstring& aTarget)
{
    ASSERT_TRUE(CopyFileW((ProgramFolder() + L"\\archives\\" + aName).c_str(), aTarget.c_str(), FALSE)) << aName;
}

void WaitUntilFinished(const TScannerThread& aWorker)
{
    while (!aWorker.Finished())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

class ArchiveScanTest : public testing::Test {
protected:
    // A file scan of the folder by a real worker, to its end.
    // aExtra: lines added to the database, such as allow lists.
    // aRegistered: a file registered as a COM server, so that the registry scanner judges it first.
    std::unique_ptr<TScannerThread> Scan(bool aArchives = true, std::vector<std::wstring> aFiles = {},
        const SignatureLines& aExtra = {}, const std::wstring& aRegistered = {})
    {
        TScanOptions options;
        if (aFiles.empty())
            options.Folders = {files.Str()};
        options.Files = std::move(aFiles);
        options.Archives = aArchives;
        const std::wstring databasePath = database.Str() + L"\\signature.dat";
        SignatureLines lines = ArchiveLines();
        lines.insert(lines.end(), aExtra.begin(), aExtra.end());
        WriteStamped(databasePath, DatabasePayload(lines));
        auto worker = std::make_unique<TScannerThread>(
            [databasePath] { return std::make_unique<TSignature>(databasePath); },
            [options, registry = !aRegistered.empty()](TScanHost* aHost) {
                std::vector<std::unique_ptr<TScanner>> queue;
                if (registry)
                    queue.push_back(std::make_unique<TRegistryScanner>(aHost));
                queue.push_back(std::make_unique<TFileScanner>(aHost, options));
                return queue;
            });
        const std::wstring server = L"CLSID\\{5D0C7A10-6B1E-4C4F-9A51-0000000A11CE}";
        if (!aRegistered.empty())
            RegistryKey::Create(HKEY_CLASSES_ROOT, server + L"\\InProcServer32", KEY_WRITE).SetString(L"", aRegistered);
        worker->StartThread();
        WaitUntilFinished(*worker);
        if (!aRegistered.empty())
            RegDeleteTreeW(HKEY_CLASSES_ROOT, server.c_str());
        EXPECT_EQ(worker->FailureMessage(), std::nullopt);
        return worker;
    }

    std::wstring File(const std::wstring& aName) const { return files.Str() + L"\\" + aName; }

    // Object -> Threat of every finding, which must be of aKind.
    static std::multimap<std::wstring, std::wstring> Findings(const TScannerThread& aWorker, TFindingKind aKind)
    {
        std::multimap<std::wstring, std::wstring> found;
        for (const TFinding& finding : aWorker.FindingsFrom(0)) {
            EXPECT_EQ(finding.Kind, aKind) << finding.Object << L": " << finding.Threat;
            found.emplace(finding.Object, finding.Threat);
        }
        return found;
    }

    TempFolder database;
    TempFolder files;
};

TEST_F(ArchiveScanTest, FindsEachMemberWhereverItLiesAndCountsFilesOnly)
{
    const std::string eicar = EicarText();
    const std::string inner = ArchiveBytes(ArchiveKind::ZipDeflate, {{"evil.exe", eicar}});
    const std::vector<ArchiveMember> first = {{"eicar.com", eicar}, {"readme.txt", "nothing here"}};
    const std::vector<ArchiveMember> last = {{"readme.txt", "nothing here"}, {"docs/invoice.exe", eicar}};
    const std::vector<ArchiveMember> nested = {{"readme.txt", "nothing here"}, {"inner.zip", inner}};
    std::multimap<std::wstring, std::wstring> expected;
    const struct {
        const wchar_t* Extension;
        ArchiveKind Kind;
    } formats[] = {{L".zip", ArchiveKind::ZipStored}, {L"-deflate.zip", ArchiveKind::ZipDeflate},
        {L"-lzma2.7z", ArchiveKind::SevenLzma2}, {L"-lzma.7z", ArchiveKind::SevenLzma}, {L".tar.gz", ArchiveKind::TarGz}};
    for (const auto& format : formats) {
        const std::wstring stem = std::wstring(L"a") + format.Extension;
        WriteArchive(File(L"first" + stem), format.Kind, first);
        WriteArchive(File(L"last" + stem), format.Kind, last);
        WriteArchive(File(L"nested" + stem), format.Kind, nested);
        expected.emplace(File(L"first" + stem) + L"->eicar.com", L"Eicar-Test-Signature");
        expected.emplace(File(L"last" + stem) + L"->docs/invoice.exe", L"Eicar-Test-Signature");
        expected.emplace(File(L"nested" + stem) + L"->inner.zip->evil.exe", L"Eicar-Test-Signature");
    }
    WriteArchive(File(L"lone.gz"), ArchiveKind::LoneGz, {{"eicar.com", eicar}});
    expected.emplace(File(L"lone.gz") + L"->data", L"Eicar-Test-Signature");
    // Stored twice over: the marker is in the zip's own bytes and in the inner zip's, and only
    // the member that holds it is a finding.
    const std::string storedInner = ArchiveBytes(ArchiveKind::ZipStored, {{"marked.bin", "xx" + kInnerMarker + "yy"}});
    WriteArchive(File(L"stored-twice.zip"), ArchiveKind::ZipStored, {{"inner.zip", storedInner}});
    expected.emplace(File(L"stored-twice.zip") + L"->inner.zip->marked.bin", L"Inner-Marker");
    // A zip-based self-extracting program is looked into by its content, whatever its name.
    WriteTestFile(File(L"setup.exe"), "MZ" + std::string(300, '\x90') + ArchiveBytes(ArchiveKind::ZipStored, {{"payload.com", eicar}}));
    expected.emplace(File(L"setup.exe") + L"->payload.com", L"Eicar-Test-Signature");
    // Larger than what the reader keeps of a file: its members and its tail are read from the file again.
    const std::string filler(1536 * 1024, 'f');
    WriteArchive(File(L"large.zip"), ArchiveKind::ZipStored, {{"filler.bin", filler}, {"inner.zip", inner}});
    expected.emplace(File(L"large.zip") + L"->inner.zip->evil.exe", L"Eicar-Test-Signature");
    WriteTestFile(File(L"large-setup.exe"), "MZ" + filler + ArchiveBytes(ArchiveKind::ZipStored, {{"payload.com", eicar}}));
    expected.emplace(File(L"large-setup.exe") + L"->payload.com", L"Eicar-Test-Signature");
    CopyFixture(L"bcj.7z", File(L"bcj.7z"));
    expected.emplace(File(L"bcj.7z") + L"->program.exe", L"Bcj-Marker");
    CopyFixture(L"test_read_format_rar.rar", File(L"rar4.rar"));
    expected.emplace(File(L"rar4.rar") + L"->test.txt", L"Rar4-Text");
    expected.emplace(File(L"rar4.rar") + L"->testdir/test.txt", L"Rar4-Text");
    CopyFixture(L"test_read_format_rar5_compressed.rar", File(L"rar5.rar"));
    expected.emplace(File(L"rar5.rar") + L"->test.bin", L"Rar5-Data");

    const auto worker = Scan();
    EXPECT_EQ(Findings(*worker, TFindingKind::Infected), expected);
    const TScanInfo info = worker->GetScanInfo();
    EXPECT_EQ(info.InfectedCount, static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(info.TotalCount, 1 + 3 * 5 + 8); // "building file list..." and each file on disk once
}

std::string Md5Hex(const std::string& aBytes)
{
    std::string hex;
    for (std::uint8_t byte : Md5(aBytes.data(), aBytes.size())) {
        hex += "0123456789abcdef"[byte >> 4];
        hex += "0123456789abcdef"[byte & 15];
    }
    return hex;
}

// An archive on an allow list reports nothing inside it, nested or not; an allowed member is
// not reported, and the archive holding it no longer reports it either.
TEST_F(ArchiveScanTest, NothingIsReportedInsideAnAllowedObject)
{
    const std::string eicar = EicarText();
    const std::string allowed = ArchiveBytes(ArchiveKind::ZipStored, {{"eicar.com", eicar}, {"marked.bin", kInnerMarker}});
    WriteTestFile(File(L"allowed.zip"), allowed);
    WriteArchive(File(L"holds-allowed.zip"), ArchiveKind::ZipStored, {{"allowed.zip", allowed}, {"eicar.com", eicar}});
    WriteArchive(File(L"other.zip"), ArchiveKind::ZipStored, {{"marked.bin", kInnerMarker}});
    const SignatureLines allowLines = {{Kind::Md5Allow, Md5Hex(allowed) + ":" + std::to_string(allowed.size()) + ":Allowed.Zip"}};
    const std::multimap<std::wstring, std::wstring> expected = {
        {File(L"holds-allowed.zip") + L"->eicar.com", L"Eicar-Test-Signature"},
        {File(L"other.zip") + L"->marked.bin", L"Inner-Marker"}};
    EXPECT_EQ(Findings(*Scan(true, {}, allowLines), TFindingKind::Infected), expected);

    // EICAR itself allowed: as a member too, and the archives storing its bytes are not
    // reported for them.
    const SignatureLines allowEicar = {{Kind::Md5Allow, Md5Hex(eicar) + ":*:Allowed.Eicar"}};
    const std::multimap<std::wstring, std::wstring> markers = {
        {File(L"allowed.zip") + L"->marked.bin", L"Inner-Marker"},
        {File(L"holds-allowed.zip") + L"->allowed.zip->marked.bin", L"Inner-Marker"},
        {File(L"other.zip") + L"->marked.bin", L"Inner-Marker"}};
    EXPECT_EQ(Findings(*Scan(true, {}, allowEicar), TFindingKind::Infected), markers);
}

// A file the registry scanner judged first is still looked into by the file scanner, unless the
// file itself is on an allow list.
TEST_F(ArchiveScanTest, AnArchiveJudgedEarlierIsLookedIntoUnlessAllowed)
{
    const std::string zip = ArchiveBytes(ArchiveKind::ZipStored, {{"marked.bin", kInnerMarker}});
    WriteTestFile(File(L"registered.zip"), zip);
    // The stored member's bytes are the file's own too: the registry scanner finds the file itself.
    const std::multimap<std::wstring, std::wstring> both = {{File(L"registered.zip"), L"Inner-Marker"},
        {File(L"registered.zip") + L"->marked.bin", L"Inner-Marker"}};
    EXPECT_EQ(Findings(*Scan(true, {}, {}, File(L"registered.zip")), TFindingKind::Infected), both);
    const SignatureLines allow = {{Kind::Md5Allow, Md5Hex(zip) + ":" + std::to_string(zip.size()) + ":Allowed.Zip"}};
    EXPECT_TRUE(Findings(*Scan(true, {}, allow, File(L"registered.zip")), TFindingKind::Infected).empty());
}

TEST_F(ArchiveScanTest, WithoutArchiveScanNoMemberIsLookedInto)
{
    WriteArchive(File(L"a.zip"), ArchiveKind::ZipStored, {{"eicar.com", EicarText()}});
    EXPECT_TRUE(Scan(false, {File(L"a.zip")})->FindingsFrom(0).empty());
    EXPECT_EQ(Findings(*Scan(true, {File(L"a.zip")}), TFindingKind::Infected).count(File(L"a.zip") + L"->eicar.com"), 1u);
}

// Names are labels only: a UTF-8 name shows as itself, and one climbing out with ".." names no
// file that is ever written.
TEST_F(ArchiveScanTest, MemberNamesAreShownAsStoredAndNeverWritten)
{
    WriteArchive(File(L"names.zip"), ArchiveKind::ZipDeflate,
        {{"r\xC3\xA9sum\xC3\xA9-\xE2\x82\xAC.exe", EicarText()}, {"../../escaped.exe", EicarText()}});
    const auto worker = Scan();
    const std::multimap<std::wstring, std::wstring> expected = {
        {File(L"names.zip") + L"->r\u00E9sum\u00E9-\u20AC.exe", L"Eicar-Test-Signature"},
        {File(L"names.zip") + L"->../../escaped.exe", L"Eicar-Test-Signature"}};
    EXPECT_EQ(Findings(*worker, TFindingKind::Infected), expected);
    EXPECT_EQ(GetFileAttributesW((files.Path().parent_path().parent_path() / L"escaped.exe").c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(ArchiveScanTest, LimitsAndFailuresEndWithTheirEntryAndKeepWhatWasRead)
{
    const std::string eicar = EicarText();
    std::multimap<std::wstring, std::wstring> expected;
    // An encrypted member is passed over; the one beside it is still matched.
    WriteArchive(File(L"encrypted.zip"), ArchiveKind::ZipDeflate, {{"secret.exe", eicar}}, "password");
    expected.emplace(File(L"encrypted.zip"), L"encrypted");
    CopyFixture(L"encrypted-header.7z", File(L"encrypted-header.7z"));
    expected.emplace(File(L"encrypted-header.7z"), L"encrypted");
    std::string nested = ArchiveBytes(ArchiveKind::ZipStored, {{"evil.exe", eicar}});
    std::wstring chain = File(L"deep.zip");
    for (int level = 1; level <= 17; ++level) {
        nested = ArchiveBytes(ArchiveKind::ZipStored, {{"level.zip", nested}});
        chain += L"->level.zip";
    }
    WriteTestFile(File(L"deep.zip"), nested);
    expected.emplace(chain, L"more than 16 nested archives");
    std::vector<ArchiveMember> many(10001, ArchiveMember{"", "x"});
    for (std::size_t i = 0; i < many.size(); ++i)
        many[i].Name = "m" + std::to_string(i);
    many.front() = {"first.com", eicar};
    WriteArchive(File(L"many.zip"), ArchiveKind::ZipStored, many);
    expected.emplace(File(L"many.zip"), L"more than 10,000 files in the archive");
    WriteArchive(File(L"bomb.zip"), ArchiveKind::ZipDeflate, {{"zeros.bin", "", 1ull << 30}});
    expected.emplace(File(L"bomb.zip"), L"compression ratio above 1,000");

    const auto worker = Scan();
    std::multimap<std::wstring, std::wstring> notScanned;
    std::multimap<std::wstring, std::wstring> infected;
    for (const TFinding& finding : worker->FindingsFrom(0))
        (finding.Kind == TFindingKind::NotScanned ? notScanned : infected).emplace(finding.Object, finding.Threat);
    EXPECT_EQ(notScanned, expected);
    const std::multimap<std::wstring, std::wstring> kept = {{File(L"many.zip") + L"->first.com", L"Eicar-Test-Signature"}};
    EXPECT_EQ(infected, kept);
}

// Cut short, a 7z loses the header at its end, a zip the rest of its member's data.
TEST_F(ArchiveScanTest, ATruncatedArchiveIsDamagedWithTheLibrarysMessageWhenItGivesOne)
{
    const std::string content = std::string(200000, 'a') + EicarText();
    const std::string sevenZip = ArchiveBytes(ArchiveKind::SevenLzma2, {{"a.bin", content}});
    const std::string zip = ArchiveBytes(ArchiveKind::ZipDeflate, {{"a.bin", content}});
    WriteTestFile(File(L"truncated.7z"), sevenZip.substr(0, sevenZip.size() / 2));
    WriteTestFile(File(L"truncated.zip"), zip.substr(0, zip.size() / 2));
    const auto worker = Scan();
    const auto found = Findings(*worker, TFindingKind::NotScanned);
    ASSERT_EQ(found.size(), 2u);
    ASSERT_EQ(found.count(File(L"truncated.7z")), 1u);
    const std::wstring sevenZipThreat = found.find(File(L"truncated.7z"))->second;
    EXPECT_TRUE(sevenZipThreat == L"damaged" || sevenZipThreat.rfind(L"damaged: ", 0) == 0) << sevenZipThreat;
    ASSERT_EQ(found.count(File(L"truncated.zip")), 1u);
    const std::wstring zipThreat = found.find(File(L"truncated.zip"))->second;
    EXPECT_EQ(zipThreat.rfind(L"damaged: ", 0), 0u) << zipThreat;
    EXPECT_GT(zipThreat.size(), 9u);
}

// A host that requests Stop a few blocks into the first member it is shown.
class StoppingHost : public RecordingHost {
public:
    explicit StoppingHost(const detect::Database& aDatabase) : inspector_(aDatabase, false) {}
    TObjectInspector* Inspector() noexcept override { return &inspector_; }
    void ShowObject(const std::wstring& aObjectName) override
    {
        shown.push_back(aObjectName);
        armed_ = true;
    }
    bool Terminated() const noexcept override { return armed_ && ++polls_ > 3; }

    std::vector<std::wstring> shown;

private:
    TObjectInspector inspector_;
    bool armed_ = false;
    mutable int polls_ = 0;
};

TEST_F(ArchiveScanTest, StopInsideALargeMemberEndsTheWalkWithoutAnEntry)
{
    const std::wstring path = File(L"large.zip");
    WriteArchive(path, ArchiveKind::ZipDeflate, {{"large.bin", std::string(64 << 20, 'q') + EicarText()}, {"after.com", EicarText()}});
    const std::wstring databasePath = database.Str() + L"\\signature.dat";
    WriteStamped(databasePath, DatabasePayload(ArchiveLines()));
    const TSignature signature(databasePath);
    StoppingHost host(*signature.Database());
    TScanOptions options;
    options.Files = {path};
    options.Archives = true;
    TFileScanner scanner(&host, options);
    while (scanner.ScanNext()) {
    }
    EXPECT_EQ(host.shown, std::vector<std::wstring>{path + L"->large.bin"});
    EXPECT_TRUE(host.Findings().empty());
    // The label named the member without counting it: the reports are the list and the file.
    EXPECT_EQ(host.Reports().size(), 2u);
}

} // namespace
