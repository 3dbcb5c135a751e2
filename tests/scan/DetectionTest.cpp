// Detection while scanning: the worker's findings and counters, and the reader's matching across
// blocks, at the end of an object and when an object is cut short.
#include "tests/scan/ScanTestSupport.h"
#include "tests/scan/Tree.h"

#include "platform/Registry.h"
#include "scan/FileScanner.h"
#include "scan/MemoryScanner.h"
#include "scan/RegistryScanner.h"
#include "scan/ObjectInspector.h"
#include "scan/ScannerThread.h"
#include "settings/Settings.h"
#include "signature/Signature.h"
#include "tests/scan/HelperProcess.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

namespace {

using Kind = detect::SignatureFileKind;

// A signature.dat of its own in a temporary folder, loaded as the worker would load it.
std::unique_ptr<TSignature> LoadDatabase(const TempFolder& aFolder, const SignatureLines& aLines)
{
    const std::wstring path = aFolder.Str() + L"\\signature.dat";
    WriteStamped(path, aLines.empty() ? std::vector<std::uint8_t>(16777200, 'x') : DatabasePayload(aLines));
    return std::make_unique<TSignature>(path);
}

SignatureLines DemoLines()
{
    SignatureLines lines = EicarLines();
    lines.push_back({Kind::Body, "PUA.Test.Marker:0:*:" + HexOf("QV-PUA-MARKER")});
    return lines;
}

void WaitUntilFinished(const TScannerThread& aWorker)
{
    while (!aWorker.Finished())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

class WorkerDetectionTest : public testing::Test {
protected:
    void SetUp() override
    {
        TSettings& settings = Settings();
        settings.SetFullScan(false);
        settings.SetMemoryScan(false);
        settings.SetRegistryScan(false);
        settings.ClearFolders();
        settings.SetFolderScan(files.Str(), true);
        WriteTestFile(files.Str() + L"\\eicar.com", EicarText());
        WriteTestFile(files.Str() + L"\\pua.exe", "some bytes QV-PUA-MARKER more bytes");
        WriteTestFile(files.Str() + L"\\clean.exe", "MZ nothing to see");
    }

    // Runs a file scan of the folder to its end with the given database and heuristic mode.
    std::unique_ptr<TScannerThread> Scan(const SignatureLines& aLines, bool aHeuristic)
    {
        auto worker = std::make_unique<TScannerThread>(
            [&] { return LoadDatabase(database, aLines); },
            [](TScanHost* aHost) {
                std::vector<std::unique_ptr<TScanner>> queue;
                queue.push_back(std::make_unique<TFileScanner>(aHost, SettingsScanOptions()));
                return queue;
            },
            [aHeuristic] { return aHeuristic; });
        worker->StartThread();
        WaitUntilFinished(*worker);
        return worker;
    }

    TempFolder database;
    TempFolder files;
};

TEST_F(WorkerDetectionTest, CountsEachObjectOnceAndNamesItsFile)
{
    const auto worker = Scan(DemoLines(), false);
    EXPECT_EQ(worker->FailureMessage(), std::nullopt);
    const TScanInfo info = worker->GetScanInfo();
    EXPECT_EQ(info.TotalCount, 4); // "building file list..." and the three files
    EXPECT_EQ(info.InfectedCount, 1);
    EXPECT_EQ(info.PossibleCount, 0);
    const std::vector<TFinding> findings = worker->FindingsFrom(0);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].Object, files.Str() + L"\\eicar.com");
    EXPECT_EQ(findings[0].Threat, L"Eicar-Test-Signature");
    EXPECT_EQ(findings[0].Kind, TFindingKind::Infected);
    EXPECT_TRUE(worker->FindingsFrom(1).empty());
}

TEST_F(WorkerDetectionTest, PossibleThreatsCountOnlyInHeuristicMode)
{
    const auto worker = Scan(DemoLines(), true);
    const TScanInfo info = worker->GetScanInfo();
    EXPECT_EQ(info.InfectedCount, 1);
    EXPECT_EQ(info.PossibleCount, 1);
    const std::vector<TFinding> findings = worker->FindingsFrom(0);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[1].Object, files.Str() + L"\\pua.exe");
    EXPECT_EQ(findings[1].Threat, L"PUA.Test.Marker");
    EXPECT_EQ(findings[1].Kind, TFindingKind::Possible);
}

TEST_F(WorkerDetectionTest, AnOpaquePayloadFindsNothing)
{
    const auto worker = Scan({}, true);
    const TScanInfo info = worker->GetScanInfo();
    EXPECT_EQ(info.TotalCount, 4); // "building file list..." and the three files
    EXPECT_EQ(info.InfectedCount + info.PossibleCount, 0);
    EXPECT_TRUE(worker->FindingsFrom(0).empty());
}

// A file that keeps too many partial matches pending is a "Not scanned" entry that says so,
// while the other files get their verdicts.
TEST_F(WorkerDetectionTest, AFileWithTooManyPartialMatchesIsNotScanned)
{
    WriteTestFile(files.Str() + L"\\zeros.exe", std::string(256 << 10, '\0'));
    SignatureLines lines = DemoLines();
    for (char last : std::string("12345"))
        lines.push_back({Kind::Body, std::string("Test.Pending:0:*:000000{60000}0") + last});
    const auto worker = Scan(lines, false);
    EXPECT_EQ(worker->FailureMessage(), std::nullopt);
    EXPECT_EQ(worker->GetScanInfo().InfectedCount, 1);
    const std::vector<TFinding> findings = worker->FindingsFrom(0);
    ASSERT_EQ(findings.size(), 2u);
    EXPECT_EQ(findings[0].Threat, L"Eicar-Test-Signature");
    EXPECT_EQ(findings[1].Object, files.Str() + L"\\zeros.exe");
    EXPECT_EQ(findings[1].Threat, L"too many partial matches");
    EXPECT_EQ(findings[1].Kind, TFindingKind::NotScanned);
}

// A name that ends in a dot is listed by the extension before it and read as itself.
TEST_F(WorkerDetectionTest, AnEicarFileWhoseNameEndsInADotIsFoundUnderItsName)
{
    WriteNamedFile(L"\\\\?\\" + files.Str() + L"\\eicar.com.", EicarText());
    WriteTestFile(files.Str() + L"\\eicar.com", "clean now");
    const auto worker = Scan(DemoLines(), false);
    const std::vector<TFinding> findings = worker->FindingsFrom(0);
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_EQ(findings[0].Object, files.Str() + L"\\eicar.com.");
    EXPECT_EQ(findings[0].Kind, TFindingKind::Infected);
    EXPECT_EQ(worker->GetScanInfo().InfectedCount, 1);
}

// The reader alone, its blocks inspected against a database, reporting to a recording host.
class InspectingReader : public TScanner {
public:
    using TScanner::ScanFile;
    explicit InspectingReader(TScanHost* aHost) : TScanner(aHost) {}
};

class InspectingHost : public RecordingHost {
public:
    explicit InspectingHost(const detect::Database& aDatabase) : inspector_(aDatabase, true) {}
    TObjectInspector* Inspector() noexcept override { return &inspector_; }

private:
    TObjectInspector inspector_;
};

std::vector<std::wstring> MatchNames(const SignatureLines& aLines, const std::string& aContent, bool aStop = false)
{
    TempFolder folder;
    const std::unique_ptr<TSignature> signature = LoadDatabase(folder, aLines);
    InspectingHost host(*signature->Database());
    if (aStop)
        host.RequestTermination();
    const std::wstring path = folder.Str() + L"\\object.bin";
    WriteTestFile(path, aContent);
    InspectingReader(&host).ScanFile(path);
    std::vector<std::wstring> names;
    for (const TFinding& finding : host.Findings()) {
        EXPECT_EQ(finding.Object, path);
        names.push_back(finding.Threat);
    }
    return names;
}

TEST(ReaderDetectionTest, MatchesAcrossBlocksAtOffsetsAndAtTheEnd)
{
    const std::string marker = "QV-BOUNDARY-MARKER";
    const struct {
        const char* Case;
        std::string Line;
        std::string Content;
        bool Found;
    } cases[] = {
        {"across the 8192-byte boundary", "Straddle:0:*:" + HexOf(marker), std::string(8192 - 7, 'a') + marker, true},
        {"at offset 8190", "At:0:8190:" + HexOf(marker), std::string(8190, 'a') + marker, true},
        {"not at offset 8190", "At:0:8190:" + HexOf(marker), std::string(8191, 'a') + marker, false},
        {"EOF-n at the very end", "Tail:0:EOF-18:" + HexOf(marker), std::string(20000, 'b') + marker, true},
        {"EOF-n one byte early", "Tail:0:EOF-18:" + HexOf(marker), std::string(20000, 'b') + marker + "c", false},
        {"EOF-n in a small file", "Tail:0:EOF-18:" + HexOf(marker), marker, true},
        {"gap and wildcard across blocks", "Gap:0:*:" + HexOf("QV-") + "??" + HexOf("GAP") + "{8000-9000}" + HexOf("END"),
         "QV-xGAP" + std::string(8500, 'c') + "END", true},
        {"gap too long", "Gap:0:*:" + HexOf("QV-") + "??" + HexOf("GAP") + "{8000-9000}" + HexOf("END"),
         "QV-xGAP" + std::string(9500, 'c') + "END", false},
        {"MZ target on a non-MZ file", "Exe:1:*:" + HexOf(marker), "ZM" + marker, false},
        {"MZ target", "Exe:1:*:" + HexOf(marker), "MZ" + marker, true},
    };
    for (const auto& c : cases) {
        const std::vector<std::wstring> names = MatchNames({{Kind::Body, c.Line}}, c.Content);
        EXPECT_EQ(names.size(), c.Found ? 1u : 0u) << c.Case;
    }
}

TEST(ReaderDetectionTest, AnObjectCutShortKeepsItsBodyMatchesButGetsNoHashVerdict)
{
    const std::string early = "QV-EARLY-MARKER";
    const std::string content = early + std::string(20000, 'z');
    const std::string md5 = "0123456789abcdef0123456789abcdef";
    // Stop before the second block: the body match in the first block stands, no hash or EOF verdict.
    const SignatureLines lines = {{Kind::Body, "Early:0:*:" + HexOf(early)},
                                  {Kind::Body, "Late:0:EOF-4:" + HexOf("zzzz")},
                                  {Kind::Md5, md5 + ":*:Whole"}};
    EXPECT_EQ(MatchNames(lines, content, true), std::vector<std::wstring>{L"Early"});
    EXPECT_EQ(MatchNames(lines, content, false), std::vector<std::wstring>{L"Early"});
    EXPECT_TRUE(MatchNames({{Kind::Body, "Late:0:EOF-4:" + HexOf("zzzz")}}, content, true).empty());
    EXPECT_EQ(MatchNames({{Kind::Body, "Late:0:EOF-4:" + HexOf("zzzz")}}, content, false),
        std::vector<std::wstring>{L"Late"});
    EXPECT_TRUE(MatchNames(EicarLines(), EicarText() + std::string(9000, ' '), true).size() == 1);
    EXPECT_TRUE(MatchNames({EicarLines()[0]}, EicarText(), false).size() == 1);
}

// The EICAR module beside the test program, under a name of its own in aFolder.
std::wstring CopyEicarModule(const TempFolder& aFolder)
{
    const std::wstring module = aFolder.Str() + L"\\qv-eicar-module.dll";
    EXPECT_TRUE(CopyFileW((ExeFolder() + L"eicar-module.dll").c_str(), module.c_str(), FALSE));
    return module;
}

// A loadable module begins with "MZ": EICAR at any offset.
SignatureLines EicarAnywhere()
{
    return {{Kind::Body, "Eicar-Test-Signature:0:*:" + HexOf(EicarText())}};
}

template <typename Scanner>
std::vector<TFinding> ScanWithDatabase(const TSignature& aSignature)
{
    InspectingHost host(*aSignature.Database());
    Scanner scanner(&host);
    while (scanner.ScanNext()) {
    }
    return host.Findings();
}

bool Names(const std::vector<TFinding>& aFindings, const std::wstring& aPath)
{
    return std::any_of(aFindings.begin(), aFindings.end(), [&](const TFinding& aFinding) {
        return aFinding.Object == aPath && aFinding.Threat == L"Eicar-Test-Signature" &&
            aFinding.Kind == TFindingKind::Infected;
    });
}

TEST(ScannerDetectionTest, FindsEicarInAModuleOfARunningProcess)
{
    TempFolder folder;
    const std::unique_ptr<TSignature> signature = LoadDatabase(folder, EicarAnywhere());
    const std::wstring module = CopyEicarModule(folder);
    const std::wstring helperPath = folder.Str() + L"\\qv-eicar-helper.exe";
    wchar_t ownPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
    ASSERT_TRUE(CopyFileW(ownPath, helperPath.c_str(), FALSE));
    HelperProcess helper(helperPath, module);
    ASSERT_TRUE(helper.WaitReady());
    const std::vector<TFinding> findings = ScanWithDatabase<TMemoryScanner>(*signature);
    EXPECT_TRUE(Names(findings, module)) << findings.size() << " findings";
}

TEST(ScannerDetectionTest, FindsEicarInARegisteredComServer)
{
    TempFolder folder;
    const std::unique_ptr<TSignature> signature = LoadDatabase(folder, EicarAnywhere());
    const std::wstring module = CopyEicarModule(folder);
    const std::wstring key = L"CLSID\\{5D0C7A10-6B1E-4C4F-9A51-00000000E1CA}";
    {
        RegistryKey server = RegistryKey::Create(HKEY_CLASSES_ROOT, key + L"\\InProcServer32", KEY_WRITE);
        server.SetString(L"", module);
    }
    const std::vector<TFinding> findings = ScanWithDatabase<TRegistryScanner>(*signature);
    RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    EXPECT_TRUE(Names(findings, module)) << findings.size() << " findings";
}

// One file behind three registrations spelled differently and under a scanned folder is read,
// counted and listed once, under the registry scanner; every report still counts.
TEST(ScannerDetectionTest, AFileReachedByManyScannersIsJudgedOnce)
{
    TempFolder database;
    TempFolder folder;
    const std::wstring module = CopyEicarModule(folder);
    std::wstring upper = module;
    CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
    const std::wstring spellings[] = {module, upper, L"\\\\?\\" + module};
    std::vector<std::wstring> keys;
    for (std::size_t i = 0; i < std::size(spellings); ++i) {
        keys.push_back(L"CLSID\\{5D0C7A10-6B1E-4C4F-9A51-00000000E1C" + std::to_wstring(i) + L"}");
        RegistryKey server = RegistryKey::Create(HKEY_CLASSES_ROOT, keys.back() + L"\\InProcServer32", KEY_WRITE);
        server.SetString(L"", spellings[i]);
    }
    TScanOptions options;
    options.Folders = {folder.Str()};
    RecordingHost host;
    auto worker = std::make_unique<TScannerThread>(
        [&] { return LoadDatabase(database, EicarAnywhere()); },
        host.Relay([options](TScanHost* aHost) {
            std::vector<std::unique_ptr<TScanner>> queue;
            queue.push_back(std::make_unique<TRegistryScanner>(aHost));
            queue.push_back(std::make_unique<TFileScanner>(aHost, options));
            return queue;
        }));
    worker->StartThread();
    WaitUntilFinished(*worker);
    for (const std::wstring& key : keys)
        RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    std::vector<TFinding> eicar = worker->FindingsFrom(0);
    std::erase_if(eicar, [](const TFinding& aFinding) { return aFinding.Threat != L"Eicar-Test-Signature"; });
    ASSERT_EQ(eicar.size(), 1u);
    EXPECT_EQ(CompareStringOrdinal(eicar[0].Object.c_str(), -1, module.c_str(), -1, TRUE), CSTR_EQUAL)
        << "listed under the registry scanner, which reached it first";
    const TScanInfo info = worker->GetScanInfo();
    EXPECT_EQ(info.InfectedCount, 1);
    EXPECT_EQ(info.TotalCount, static_cast<std::int64_t>(host.Reports().size()));
    const std::vector<Report> reports = host.Reports();
    EXPECT_TRUE(std::any_of(reports.begin(), reports.end(), [&](const Report& aReport) { return aReport.name == module; }))
        << "the file scanner still reports the file";
}

} // namespace
