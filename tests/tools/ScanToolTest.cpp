// quorvane-scan.exe as a child process: its output lines, its exit codes, its report.
#include "platform/Error.h"
#include "platform/Registry.h"
#include "signature/Signature.h"
#include "platform/Utf8.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"
#include "tools/ScanToolOptions.h"
#include "tools/ScanOutput.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

const std::string kPuaText = "QUORVANE-PUA-TEST-FILE";

struct ScanRun {
    DWORD ExitCode = 0;
    std::string Out;
    std::string Err;
};

std::string ReadAll(const std::filesystem::path& aPath)
{
    std::ifstream file(aPath, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

HANDLE InheritableFile(const std::filesystem::path& aPath)
{
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    return CreateFileW(aPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
}

// The tool in the build tree.
std::wstring BuiltTool()
{
    return ExeFolder() + L"..\\..\\quorvane-scan.exe";
}

// The tool at aExe with aArguments, its stdout and stderr redirected to files.
ScanRun RunTool(const std::wstring& aArguments, const std::wstring& aExe = BuiltTool())
{
    TempFolder streams;
    const std::filesystem::path outPath = streams.Path() / L"out.txt";
    const std::filesystem::path errPath = streams.Path() / L"err.txt";
    ScanRun run;
    {
        HANDLE out = InheritableFile(outPath);
        HANDLE err = InheritableFile(errPath);
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = out;
        startup.hStdError = err;
        std::wstring commandLine = L"\"" + aExe + L"\" " + aArguments;
        PROCESS_INFORMATION process{};
        const BOOL started = CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
            nullptr, nullptr, &startup, &process);
        CloseHandle(out);
        CloseHandle(err);
        EXPECT_TRUE(started) << GetLastError();
        if (!started)
            return run;
        WaitForSingleObject(process.hProcess, INFINITE);
        GetExitCodeProcess(process.hProcess, &run.ExitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    run.Out = ReadAll(outPath);
    run.Err = ReadAll(errPath);
    return run;
}

std::string Summary(int aScanned, int aInfected, int aPossible, int aNotScanned)
{
    return "\nObjects scanned: " + std::to_string(aScanned) + "\nInfected: " + std::to_string(aInfected) +
           "\nPossible threats: " + std::to_string(aPossible) + "\nNot scanned: " + std::to_string(aNotScanned) +
           "\nTime: 0:00:00\n";
}

class ScanToolTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SignatureLines lines = EicarLines();
        lines.push_back({detect::SignatureFileKind::Body, "PUA.Quorvane.TestFile:0:*:" + HexOf(kPuaText)});
        WriteStamped(Database(), DatabasePayload(lines));
        std::filesystem::create_directories(Files() / L"sub");
        WriteTestFile(Files() / L"clean.exe", "clean");
        WriteTestFile(Files() / L"sub" / L"eicar.com", EicarText());
        WriteTestFile(Files() / L"notes.txt", EicarText());
        WriteTestFile(Files() / L"pua.dll", "xx" + kPuaText + "yy");
    }

    std::wstring Database() const { return (folder_.Path() / L"db.dat").wstring(); }
    std::filesystem::path Files() const { return folder_.Path() / L"files \u00e9\u4e2d"; }
    std::string Utf8Files() const { return ToUtf8(Files().wstring()); }
    // The tool on aArguments with the test database, "{F}" in them standing for the files' folder.
    ScanRun Tool(const std::wstring& aArguments, const std::wstring& aExe = BuiltTool()) const
    {
        std::wstring arguments = aArguments;
        const std::wstring files = Files().wstring();
        for (std::size_t at = arguments.find(L"{F}"); at != std::wstring::npos; at = arguments.find(L"{F}", at))
            arguments.replace(at, 3, files);
        return RunTool(L"--database \"" + Database() + L"\" " + arguments, aExe);
    }

    TempFolder folder_;
};

TEST_F(ScanToolTest, CommandLinesPrintTheirLinesAndExitCodes)
{
    const std::string f = Utf8Files();
    const std::wstring quoted = JsonString(Files().wstring());
    const std::string j = ToUtf8(quoted.substr(1, quoted.size() - 2));
    const struct {
        const wchar_t* Arguments;
        DWORD ExitCode;
        std::string Out;
    } cases[] = {
        {L"\"{F}\\clean.exe\"", 0, f + "\\clean.exe: OK\n" + Summary(2, 0, 0, 0)},
        {L"\"{F}\\sub\\eicar.com\"", 1, f + "\\sub\\eicar.com: Eicar-Test-Signature FOUND\n" + Summary(2, 1, 0, 0)},
        {L"\"{F}\\pua.dll\"", 0, f + "\\pua.dll: OK\n" + Summary(2, 0, 0, 0)},
        {L"--heuristic \"{F}\\pua.dll\"", 1, f + "\\pua.dll: PUA.Quorvane.TestFile POSSIBLE\n" + Summary(2, 0, 1, 0)},
        // A named file is read whatever its extension; inside a folder only listed ones are.
        {L"\"{F}\\notes.txt\"", 1, f + "\\notes.txt: Eicar-Test-Signature FOUND\n" + Summary(2, 1, 0, 0)},
        {L"\"{F}\"", 1,
            f + "\\clean.exe: OK\n" + f + "\\pua.dll: OK\n" + f + "\\sub\\eicar.com: Eicar-Test-Signature FOUND\n" +
                Summary(4, 1, 0, 0)},
        {L"--all-files --quiet \"{F}\"", 1,
            f + "\\notes.txt: Eicar-Test-Signature FOUND\n" + f + "\\sub\\eicar.com: Eicar-Test-Signature FOUND\n" +
                Summary(5, 2, 0, 0)},
        {L"--json --heuristic \"{F}\"", 1,
            "{\"object\":\"" + j + "\\\\pua.dll\",\"threat\":\"PUA.Quorvane.TestFile\",\"kind\":\"possible\","
            "\"action\":null}\n{\"object\":\"" + j + "\\\\sub\\\\eicar.com\",\"threat\":\"Eicar-Test-Signature\","
            "\"kind\":\"infected\",\"action\":null}\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.Arguments));
        const ScanRun run = Tool(c.Arguments);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << run.Err;
        if (std::wstring(c.Arguments).starts_with(L"--json"))
            EXPECT_TRUE(run.Out.starts_with(c.Out) && run.Out.find("\"summary\":true,\"scanned\":4,\"infected\":1,"
                                                                  "\"possible\":1,\"not_scanned\":0,\"seconds\":") !=
                                                              std::string::npos)
                << run.Out;
        else
            EXPECT_EQ(run.Out, c.Out);
        EXPECT_EQ(run.Err, "");
    }
}

TEST_F(ScanToolTest, ErrorsGiveExitCodeTwoAndSayWhy)
{
    const std::string f = Utf8Files();
    const ScanRun missing = Tool(L"\"{F}\\gone.exe\" \"{F}\\clean.exe\"");
    EXPECT_EQ(missing.ExitCode, 2u);
    EXPECT_EQ(missing.Err, f + "\\gone.exe: No such file or directory\n");
    EXPECT_EQ(missing.Out, f + "\\clean.exe: OK\n" + Summary(2, 0, 0, 0));

    const ScanRun missingBesideThreat = Tool(L"\"{F}\\gone.exe\" \"{F}\\sub\"");
    EXPECT_EQ(missingBesideThreat.ExitCode, 1u) << "a threat outranks the error";

    const ScanRun badOption = Tool(L"--bogus \"{F}\\clean.exe\"");
    EXPECT_EQ(badOption.ExitCode, 2u);
    EXPECT_TRUE(badOption.Err.starts_with("quorvane-scan: unknown option --bogus\nusage: quorvane-scan")) << badOption.Err;
    EXPECT_EQ(badOption.Out, "");

    WriteTestFile(Database(), std::string(100, 'x'));
    const ScanRun broken = Tool(L"\"{F}\\clean.exe\"");
    EXPECT_EQ(broken.ExitCode, 2u);
    EXPECT_TRUE(broken.Err.starts_with("quorvane-scan: Signature loading failed: ")) << broken.Err;
    EXPECT_EQ(broken.Out, "");
}

TEST_F(ScanToolTest, FileHeldWithoutSharingIsNotScannedWithExitCodeTwo)
{
    const std::filesystem::path held = Files() / L"clean.exe";
    HANDLE lock = CreateFileW(held.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    const ScanRun run = Tool(L"\"{F}\\clean.exe\"");
    CloseHandle(lock);
    EXPECT_EQ(run.ExitCode, 2u);
    EXPECT_EQ(run.Out, Utf8Files() + "\\clean.exe: Not scanned (" + ToUtf8(SystemMessage(ERROR_SHARING_VIOLATION)) +
                           ")\n" + Summary(2, 0, 0, 1));
}

TEST_F(ScanToolTest, ReportHoldsTheResultsWindowsCsv)
{
    const std::filesystem::path report = folder_.Path() / L"report.csv";
    const ScanRun run = Tool(L"--quiet --report \"" + report.wstring() + L"\" \"{F}\"");
    EXPECT_EQ(run.ExitCode, 1u) << run.Err;
    EXPECT_EQ(ReadAll(report), "\xEF\xBB\xBFObject,Threat,Kind,Action\r\n" + Utf8Files() +
                                   "\\sub\\eicar.com,Eicar-Test-Signature,Infected,\r\n");
}

TEST_F(ScanToolTest, LoadsTheDatabaseWhileAScanHoldsIt)
{
    // The window's worker keeps its signature file open for the whole scan.
    const TSignature held(Database());
    const ScanRun run = Tool(L"\"{F}\\sub\\eicar.com\"");
    EXPECT_EQ(run.ExitCode, 1u) << run.Err;
    EXPECT_EQ(run.Err, "");
}

TEST_F(ScanToolTest, LeavesTheSettingsKeyAsItWas)
{
    const auto settingsKey = [] {
        return RegistryKey::TryOpen(HKEY_CURRENT_USER, L"Software\\Talbrinn\\Quorvane", KEY_READ).has_value();
    };
    const bool had = settingsKey();
    EXPECT_EQ(Tool(L"--heuristic --archives \"{F}\"").ExitCode, 1u);
    EXPECT_EQ(settingsKey(), had);
}

// A copy of the tool with a signatures folder beside it: --database replaces signature.dat only.
TEST_F(ScanToolTest, DatabaseReplacesSignatureDatWhileTheFolderBesideTheToolStillLoads)
{
    const std::filesystem::path program = folder_.Path() / L"program";
    std::filesystem::create_directories(program);
    const std::wstring tool = (program / L"quorvane-scan.exe").wstring();
    ASSERT_TRUE(CopyFileW(BuiltTool().c_str(), tool.c_str(), FALSE)) << GetLastError();
    const std::wstring qdb = (program / L"signatures" / L"extra.qdb").wstring();
    std::vector<std::uint8_t> extra =
        WithSha256Trailer(QdbPayload({{detect::SignatureFileKind::Body, "Qdb.Extra:0:*:" + HexOf("QDB-EXTRA")}}));
    WriteTestFile(Files() / L"extra.exe", "xQDB-EXTRAx");
    const std::string f = Utf8Files();
    const struct {
        const char* Label;
        std::size_t Damaged; // the byte changed, 0 for none
        DWORD ExitCode;
        std::string Out, Err;
    } cases[] = {
        {"both load", 0, 1,
            f + "\\extra.exe: Qdb.Extra FOUND\n" + f + "\\sub\\eicar.com: Eicar-Test-Signature FOUND\n" + Summary(5, 2, 0, 0), ""},
        {"damaged .qdb", extra.size() / 2, 2, "",
            "quorvane-scan: Signature loading failed: extra.qdb: Invalid file: SHA-256 check failed\n"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> file = extra;
        file[c.Damaged] ^= c.Damaged == 0 ? 0 : 1;
        WriteBytes(qdb, file);
        const ScanRun run = Tool(L"--quiet \"{F}\"", tool);
        EXPECT_EQ(run.ExitCode, c.ExitCode) << c.Label;
        EXPECT_EQ(run.Out, c.Out) << c.Label;
        EXPECT_EQ(run.Err, c.Err) << c.Label;
    }
}

TEST(ScanToolOptionsTest, UsageErrorsAndValues)
{
    const struct {
        std::vector<std::wstring> Arguments;
        std::optional<std::wstring> Error;
    } cases[] = {
        {{}, L"no PATH given"},
        {{L"--json"}, L"no PATH given"},
        {{L"--database"}, L"--database needs a value"},
        {{L"--report", L"", L"x"}, L"--report needs a value"},
        {{L"-x", L"a"}, L"unknown option -x"},
        {{L"--quarantine", L"--delete", L"a"}, L"--quarantine and --delete exclude each other"},
        {{L"--help"}, std::nullopt},
        {{L"--", L"--json"}, std::nullopt},
        {{L"-"}, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseScanToolArguments(c.Arguments).Error, c.Error) << ToUtf8(c.Arguments.empty() ? L"" : c.Arguments[0]);

    const TScanToolOptions options =
        ParseScanToolArguments({L"--archives", L"a", L"--database", L"--json", L"--", L"--report"}).Options;
    EXPECT_TRUE(options.Archives);
    EXPECT_FALSE(options.Json) << "a value is taken as it is";
    EXPECT_EQ(options.Database, L"--json");
    EXPECT_EQ(options.Paths, (std::vector<std::wstring>{L"a", L"--report"}));
}

TEST(ScanOutputTest, JsonEscapingAndSummaryClock)
{
    EXPECT_EQ(JsonString(L"a\"b\\c\n\x01\u00e9"), L"\"a\\\"b\\\\c\\n\\u0001\u00e9\"");
    TScanTotals totals;
    totals.Milliseconds = (3 * 3600 + 4 * 60 + 5) * 1000 + 999;
    totals.Stopped = true;
    EXPECT_EQ(SummaryText(totals),
        L"\nStopped.\nObjects scanned: 0\nInfected: 0\nPossible threats: 0\nNot scanned: 0\nTime: 3:04:05\n");
    EXPECT_EQ(SummaryJson(totals), L"{\"summary\":true,\"scanned\":0,\"infected\":0,\"possible\":0,\"not_scanned\":0,"
                                   L"\"seconds\":11045.999,\"stopped\":true}");
    TFinding failure{L"p", L"m", TFindingKind::NotScanned, 5};
    EXPECT_EQ(FindingLine(failure, L"quarantined"), L"p: Not scanned (m) (quarantined)");
    EXPECT_TRUE(IsFailure(failure));
    failure.ErrorCode = 0;
    EXPECT_FALSE(IsFailure(failure)) << "an entry without a system code leaves the exit code";
    totals.Possible = 1;
    EXPECT_EQ(ScanExitCode(totals, true), TScanExit::Found);
    EXPECT_EQ(ScanExitCode(TScanTotals{}, true), TScanExit::Error);
    EXPECT_EQ(ScanExitCode(TScanTotals{}, false), TScanExit::Clean);
}

} // namespace

TEST_F(ScanToolTest, QuarantineAndDeleteActOnEachThreatAndSayHowItWent)
{
    const std::string f = Utf8Files();
    const std::filesystem::path eicar = Files() / L"sub" / L"eicar.com";
    const ScanRun quarantined = Tool(L"--quiet --heuristic --quarantine \"{F}\"");
    EXPECT_EQ(quarantined.ExitCode, 1u) << quarantined.Err;
    EXPECT_EQ(quarantined.Out, f + "\\pua.dll: PUA.Quorvane.TestFile POSSIBLE (quarantined)\n" + f +
                                   "\\sub\\eicar.com: Eicar-Test-Signature FOUND (quarantined)\n" + Summary(4, 1, 1, 0));
    EXPECT_FALSE(std::filesystem::exists(Files() / L"pua.dll"));
    EXPECT_FALSE(std::filesystem::exists(eicar));

    // A reader that does not share deletion keeps the file where it is.
    WriteTestFile(eicar, EicarText());
    HANDLE reader = CreateFileW(eicar.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    const ScanRun held = Tool(L"--delete \"{F}\\sub\\eicar.com\"");
    CloseHandle(reader);
    EXPECT_EQ(held.Out, f + "\\sub\\eicar.com: Eicar-Test-Signature FOUND (action failed: " +
                            ToUtf8(SystemMessage(ERROR_SHARING_VIOLATION)) + ")\n" + Summary(2, 1, 0, 0));
    EXPECT_EQ(ReadAll(eicar), EicarText());

    const std::filesystem::path report = folder_.Path() / L"report.csv";
    const ScanRun deleted = Tool(L"--json --delete --report \"" + report.wstring() + L"\" \"{F}\\sub\\eicar.com\"");
    EXPECT_EQ(deleted.ExitCode, 1u) << deleted.Err;
    EXPECT_EQ(ReadAll(report), "\xEF\xBB\xBFObject,Threat,Kind,Action\r\n" + f +
                                   "\\sub\\eicar.com,Eicar-Test-Signature,Infected,Deleted\r\n");
    EXPECT_NE(deleted.Out.find("\"kind\":\"infected\",\"action\":\"deleted\"}\n"), std::string::npos) << deleted.Out;
    EXPECT_FALSE(std::filesystem::exists(eicar));
}
