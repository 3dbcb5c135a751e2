// The signature tool's commands in-process, and its exit codes from the real executable.
#include "tools/SigTool.h"

#include "platform/File.h"
#include "signature/Signature.h"
#include "tests/support/ContainerMaker.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/MessageBoxProbe.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

struct ToolRun {
    int ExitCode;
    std::string Out;
    std::string Err;
};

ToolRun Tool(const std::vector<std::wstring>& aArguments)
{
    std::ostringstream out;
    std::ostringstream err;
    const int exitCode = RunSigTool(aArguments, out, err);
    return {exitCode, out.str(), err.str()};
}

std::wstring WriteText(const TempFolder& aFolder, const std::wstring& aName, const std::string& aText)
{
    const std::wstring path = aFolder.Str() + L"\\" + aName;
    std::ofstream(std::filesystem::path(path), std::ios::binary) << aText;
    return path;
}

const std::string kEicarMd5 = "44d88612fea8a8f36de82e1278abb02f:68:Eicar-Test-Signature";

// signature.dat's format (padded, MD5 trailer) or a .qdb (no padding, SHA-256 trailer), by the
// output's name.
TEST(SigToolTest, BuildsADatabaseThatInfoReportsValid)
{
    TempFolder folder;
    const std::wstring hdb = WriteText(folder, L"a.hdb", "# comment\r\n\r\n" + kEicarMd5 + "\r\n");
    const std::wstring ndb = WriteText(folder, L"b.ndb", "Test.Body:0:*:414243??44{2-4}45\n");
    const std::wstring fp = WriteText(folder, L"c.fp", "0123456789abcdef0123456789abcdef:10:Allowed\n");
    const struct {
        const wchar_t* Name;
        const char* Trailer;
        bool Padded;
    } cases[] = {{L"\\out.dat", "MD5 trailer: correct\n", true}, {L"\\out.QDB", "SHA-256 trailer: correct\n", false}};
    for (const auto& c : cases) {
        const std::wstring out = folder.Str() + c.Name;
        const ToolRun built = Tool({L"build", out, hdb, ndb, fp});
        EXPECT_EQ(built.ExitCode, kSigToolOk) << built.Err;
        const auto size = std::filesystem::file_size(std::filesystem::path(out));
        EXPECT_EQ(size == 16777216u, c.Padded) << size;
        const ToolRun info = Tool({L"info", out});
        EXPECT_EQ(info.ExitCode, kSigToolOk) << info.Out;
        EXPECT_NE(info.Out.find(c.Trailer), std::string::npos) << info.Out;
        EXPECT_NE(info.Out.find("Format version: 2\nMD5 signatures: 1\nSHA-1 signatures: 0\nSHA-256 signatures: 0\n"
                                "Body signatures: 1\nMD5 allow-list entries (.fp): 1\nSHA-256 allow-list entries (.sfp): 0\nDatabase: valid\nResult: valid\n"),
            std::string::npos) << info.Out;
    }
    const std::wstring qdb = folder.Str() + L"\\out.QDB";
    {
        std::fstream file(std::filesystem::path(qdb), std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(130);
        file.put('\x7f');
    }
    const ToolRun damaged = Tool({L"info", qdb});
    EXPECT_EQ(damaged.ExitCode, kSigToolInvalidInput);
    EXPECT_NE(damaged.Out.find("SHA-256 trailer: incorrect\n"), std::string::npos) << damaged.Out;
    const std::wstring tiny = WriteText(folder, L"tiny.qdb", std::string(100, 'x'));
    EXPECT_EQ(Tool({L"info", tiny}).ExitCode, kSigToolInvalidInput);
}

TEST(SigToolTest, PuaVariantsIgnoreListsAndLevelsAfterAnyInputOrder)
{
    TempFolder folder;
    const std::wstring hdu = WriteText(folder, L"a.hdu", kEicarMd5 + "\n");
    const std::wstring ndb = WriteText(folder, L"b.ndb", "Body.Kept:0:*:414243\nBody.Dropped:0:*:444546\nBody.Later:0:*:474849:250\n");
    const std::wstring ign2 = WriteText(folder, L"c.ign2", "Body.Dropped\n");
    const ToolRun built = Tool({L"build", folder.Str() + L"\\out.dat", hdu, ndb, ign2});
    EXPECT_EQ(built.ExitCode, kSigToolOk) << built.Err;
    EXPECT_EQ(built.Out.substr(built.Out.find("MD5 signatures")),
        "MD5 signatures: 1\nSHA-1 signatures: 0\nSHA-256 signatures: 0\nBody signatures: 1\nMD5 allow-list entries (.fp): 0\nSHA-256 allow-list entries (.sfp): 0\n"
        "Lines skipped for their functionality level: 1\nSignatures dropped by ignore lists: 1\n");
}

TEST(SigToolTest, RefusesBadLinesNamingFileAndLineAndWritesNothing)
{
    const struct {
        const wchar_t* File;
        std::string Text;
        const char* Where;
    } cases[] = {
        {L"x.hdb", kEicarMd5 + "\nnot-a-hash:68:Name\n", "x.hdb:2: "},
        {L"x.hdb", "44d88612fea8a8f36de82e1278abb02f:sixty:Name\n", "x.hdb:1: "},
        {L"x.hsb", kEicarMd5 + "\n", "x.hsb:1: "},
        {L"x.ndb", "Two.Bytes:0:*:4142\n", "x.ndb:1: "},
        {L"x.ndb", "Bad.Hex:0:*:41424G\n", "x.ndb:1: "},
        {L"x.ndb", "Bad.Offset:0:EOF+3:414243\n", "x.ndb:1: "},
        {L"x.ndb", "Open.Alt:0:*:414243(44|45\n", "x.ndb:1: "},
        {L"x.ndb", "Name With Space:0:*:414243\n", "x.ndb:1: "},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        const std::wstring input = WriteText(folder, c.File, c.Text);
        const std::wstring out = folder.Str() + L"\\out.dat";
        const ToolRun run = Tool({L"build", out, input});
        EXPECT_EQ(run.ExitCode, kSigToolInvalidInput) << c.Text;
        EXPECT_NE(run.Err.find(c.Where), std::string::npos) << c.Text << " gave " << run.Err;
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(out))) << c.Text;
    }
}

TEST(SigToolTest, SkipUnsupportedSkipsOnlyUnsupportedFeatures)
{
    TempFolder folder;
    const std::wstring ndb = WriteText(folder, L"x.ndb", "Pe.Only:1:EP+0:414243\nGood:0:*:414243\n");
    const std::wstring out = folder.Str() + L"\\out.dat";
    EXPECT_EQ(Tool({L"build", out, ndb}).ExitCode, kSigToolInvalidInput);
    const ToolRun skipped = Tool({L"build", L"--skip-unsupported", out, ndb});
    EXPECT_EQ(skipped.ExitCode, kSigToolOk) << skipped.Err;
    EXPECT_NE(skipped.Out.find("Unsupported lines skipped: 1"), std::string::npos) << skipped.Out;
    const std::wstring broken = WriteText(folder, L"y.ndb", "Good:0:*:414243\nBroken:0:*:41\n");
    EXPECT_EQ(Tool({L"build", L"--skip-unsupported", out, broken}).ExitCode, kSigToolInvalidInput);
}

// Build loads what it writes with the program's reader and budget: what it reports as
// written, the program loads.
TEST(SigToolTest, ManyShortBodySignaturesBuildIntoADatabaseTheProgramLoads)
{
    TempFolder folder;
    std::string text;
    for (unsigned i = 0; i < 200000; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "S%u:0:*:%08x\n", i, i * 2654435761u);
        text += line;
    }
    const std::wstring ndb = WriteText(folder, L"short.ndb", text);
    const std::wstring out = folder.Str() + L"\\out.dat";
    const ToolRun built = Tool({L"build", out, ndb});
    ASSERT_EQ(built.ExitCode, kSigToolOk) << built.Err;
    const TSignature signature(out);
    ASSERT_NE(signature.Database(), nullptr);
    EXPECT_EQ(signature.Database()->Counts().Body, 200000u);
}

TEST(SigToolTest, EmptyInputUnknownKindsAndUsage)
{
    TempFolder folder;
    const std::wstring out = folder.Str() + L"\\out.dat";
    const std::wstring empty = WriteText(folder, L"e.hdb", "# nothing\n\n");
    const std::wstring text = WriteText(folder, L"t.txt", kEicarMd5 + "\n");
    EXPECT_EQ(Tool({L"build", out, empty}).ExitCode, kSigToolInvalidInput);
    EXPECT_EQ(Tool({L"build", out, text}).ExitCode, kSigToolInvalidInput);
    EXPECT_EQ(Tool({L"build", out, folder.Str() + L"\\missing.hdb"}).ExitCode, kSigToolInvalidInput);
    for (const auto& arguments : std::vector<std::vector<std::wstring>>{
             {}, {L"build"}, {L"build", out}, {L"build", L"--fast", out, empty}, {L"info"}, {L"info", out, out},
             {L"check", out}}) {
        const ToolRun run = Tool(arguments);
        EXPECT_EQ(run.ExitCode, kSigToolUsage);
        EXPECT_NE(run.Err.find("usage:"), std::string::npos);
    }
}

TEST(SigToolTest, InfoTellsOpaqueAndDamagedFiles)
{
    TempFolder folder;
    const std::wstring opaque = folder.Str() + L"\\opaque.dat";
    WriteStamped(opaque, std::vector<std::uint8_t>(16777200, 'x'));
    const ToolRun info = Tool({L"info", opaque});
    EXPECT_EQ(info.ExitCode, kSigToolOk);
    EXPECT_NE(info.Out.find("opaque payload"), std::string::npos) << info.Out;

    const std::wstring damaged = folder.Str() + L"\\damaged.dat";
    WriteStamped(damaged, DatabasePayload(EicarLines()));
    {
        std::fstream file(std::filesystem::path(damaged), std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(100);
        file.put('\x7f');
    }
    const ToolRun bad = Tool({L"info", damaged});
    EXPECT_EQ(bad.ExitCode, kSigToolInvalidInput);
    EXPECT_NE(bad.Out.find("MD5 trailer: incorrect"), std::string::npos) << bad.Out;
}

std::wstring WriteContainer(const TempFolder& aFolder, const std::wstring& aName, const ContainerSpec& aSpec)
{
    const std::vector<std::uint8_t> bytes = MakeContainer(aSpec, SystemHashes());
    return WriteText(aFolder, aName, std::string(bytes.begin(), bytes.end()));
}

ContainerSpec DailySpec()
{
    ContainerSpec spec;
    spec.Members = {
        {"COPYING", "licence\n"},
        {"daily.hdb", kEicarMd5 + "\n"},
        {"daily.ndb", "Body.Kept:0:*:414243\nBody.Dropped:0:*:444546\nBody.Later:0:*:474849:250\nPe.Only:1:EP+0:414243\n"},
        {"daily.ldb", "Logical.One;Target:0;0;414243\n"},
        {"daily.cdb", "Container.One:CL_TYPE_ZIP:*:*:*:*:*:*:*:*\n"},
        {"daily.ldu", "Logical.Two;Target:0;0;414243\n"},
        {"daily.ign2", "Body.Dropped\n"},
        {"daily.fp", kEicarMd5 + "\n"},
    };
    return spec;
}

// A container's members are inputs in the tar's order; its ignore list applies to the
// containers and files before it too, and unsupported members are counted by type.
TEST(SigToolTest, BuildsFromAContainerCountingUnsupportedFilesByType)
{
    TempFolder folder;
    const std::wstring main = WriteText(folder, L"main.ndb", "Body.Main:0:*:4a4b4c\nBody.Dropped:0:*:4d4e4f\n");
    const std::wstring daily = WriteContainer(folder, L"daily.cvd", DailySpec());
    const std::wstring out = folder.Str() + L"\\out.dat";
    const ToolRun built = Tool({L"build", out, main, daily, L"--skip-unsupported"});
    ASSERT_EQ(built.ExitCode, kSigToolOk) << built.Err;
    EXPECT_EQ(built.Out.substr(built.Out.find("MD5 signatures")),
        "MD5 signatures: 1\nSHA-1 signatures: 0\nSHA-256 signatures: 0\nBody signatures: 2\nMD5 allow-list entries (.fp): 1\nSHA-256 allow-list entries (.sfp): 0\n"
        "Unsupported lines skipped: 1\nLines skipped for their functionality level: 1\n"
        "Signatures dropped by ignore lists: 2\n"
        "Skipped files of type .cdb: 1\nSkipped files of type .ldb: 1\nSkipped files of type .ldu: 1\n");

    const ToolRun refused = Tool({L"build", out + L"2", daily});
    EXPECT_EQ(refused.ExitCode, kSigToolInvalidInput);
    EXPECT_NE(refused.Err.find("daily.cvd:daily.ldb: unsupported file type\n"), std::string::npos) << refused.Err;
    EXPECT_NE(refused.Err.find("daily.cvd:daily.ndb:4: "), std::string::npos) << refused.Err;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(out + L"2")));
}

TEST(SigToolTest, RefusesAContainerThatFailsItsChecksAndWritesNothing)
{
    TempFolder folder;
    const std::wstring daily = WriteContainer(folder, L"daily.cvd", DailySpec());
    {
        std::fstream file(std::filesystem::path(daily), std::ios::binary | std::ios::in | std::ios::out);
        file.seekp(-30, std::ios::end);
        file.put('\x5a');
    }
    const std::wstring out = folder.Str() + L"\\out.dat";
    const ToolRun built = Tool({L"build", L"--skip-unsupported", out, daily});
    EXPECT_EQ(built.ExitCode, kSigToolInvalidInput);
    EXPECT_NE(built.Err.find("daily.cvd: container: the MD5 of its content does not match its header\n"), std::string::npos)
        << built.Err;
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(out)));
    const ToolRun info = Tool({L"info", daily});
    EXPECT_EQ(info.ExitCode, kSigToolInvalidInput);
    EXPECT_NE(info.Out.find("Result: invalid\n"), std::string::npos) << info.Out;
}

TEST(SigToolTest, InfoDescribesAContainer)
{
    TempFolder folder;
    ContainerSpec spec = DailySpec();
    spec.Gzip = false;
    const std::wstring daily = WriteContainer(folder, L"daily.cld", spec);
    const ToolRun info = Tool({L"info", daily});
    EXPECT_EQ(info.ExitCode, kSigToolOk) << info.Out;
    EXPECT_NE(info.Out.find("Format: ClamAV .cld container\nBuilt: 14 Nov 2023 22-13 +0000\nVersion: 27000\n"
                            "Signatures (header): 4\nFunctionality level: 90\nBuilder: tests\n"
                            "Checked: the .info list's SHA-256 of each file\nDigital signature: not verified"),
        std::string::npos) << info.Out;
    EXPECT_NE(info.Out.find("Files of type .fp: 1\nFiles of type .hdb: 1\nFiles of type .ign2: 1\nFiles of type .info: 1\nFiles of type .ldb: 1\n"
                            "Files of type .ldu: 1\nFiles of type .ndb: 1\nFiles of type COPYING: 1\n"
                            "MD5 signatures: 1\nSHA-1 signatures: 0\nSHA-256 signatures: 0\nBody signatures: 2\n"
                            "MD5 allow-list entries (.fp): 1\nSHA-256 allow-list entries (.sfp): 0\nLines skipped for their functionality level: 1\nUnsupported lines: 1\nRefused lines: 0\n"
                            "Names on ignore lists: 1\nResult: valid\n"),
        std::string::npos) << info.Out;
}

TEST(SigToolTest, TheExecutableReturnsTheExitCodes)
{
    TempFolder folder;
    const std::wstring tool = L"\"" + FullPathName(ExeFolder() + L"..\\..\\quorvane-sigtool.exe") + L"\"";
    const std::wstring hdb = WriteText(folder, L"a.hdb", kEicarMd5 + "\n");
    const std::wstring bad = WriteText(folder, L"b.hdb", "nonsense\n");
    const struct {
        std::wstring Arguments;
        DWORD ExitCode;
    } cases[] = {
        {L" build out.dat a.hdb", 0},
        {L" info out.dat", 0},
        {L" build other.dat b.hdb", 1},
        {L" frobnicate", 2},
    };
    for (const auto& c : cases) {
        ChildProcess child(tool + c.Arguments, folder.Str());
        EXPECT_EQ(child.WaitForExitCode(), c.ExitCode) << c.Arguments;
    }
}

} // namespace
