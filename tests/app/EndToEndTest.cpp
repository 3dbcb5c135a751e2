// The real Quorvane.exe in its preparation mode and without the switch, as a child process.
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Md5.h"
#include "tests/support/MessageBoxProbe.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr std::size_t kPayloadSize = 16777216;

std::wstring QuorvaneCommand(const std::wstring& aArguments)
{
    return L"\"" + FullPathName(ExeFolder() + L"..\\..\\Quorvane.exe") + L"\" " + aArguments;
}

std::string ReadText(const std::filesystem::path& aPath)
{
    std::ifstream in(aPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Runs Quorvane.exe with aArguments in aFolder, expects one error box with aText, presses
// OK and returns the exit code (nullopt when something hung).
std::optional<DWORD> RunExpectingError(const std::wstring& aArguments, const std::wstring& aFolder,
    const std::wstring& aText)
{
    ChildProcess child(QuorvaneCommand(aArguments), aFolder);
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(child.Id());
    EXPECT_TRUE(box) << "no message box for " << aArguments;
    if (!box)
        return std::nullopt;
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_EQ(box->text, aText);
    EXPECT_TRUE(box->hasIcon);
    EXPECT_TRUE(box->hasOkButton);
    EXPECT_TRUE(ClickOk(box->window));
    return child.WaitForExitCode();
}

} // namespace

TEST(Program, FailedPreparationShowsTheErrorAndExitsWithOne)
{
    TempFolder folder;
    const std::wstring notFound = L"Signature prepare failed: File not found.";
    for (const std::wstring arguments : {L"-sig missing.dat", L"-sig -other", L"/SIG:"})
        EXPECT_EQ(RunExpectingError(arguments, folder.Str(), notFound), 1u) << arguments;
}

TEST(Program, StampingAFileHeldByAnotherProcessIsRefused)
{
    TempFolder folder;
    const std::wstring path = folder.Str() + L"\\payload.dat";
    WriteTestFile(path, TestPayload(kPayloadSize));
    const FileHandle holder(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(holder.IsValid());
    const std::wstring text = L"Signature prepare failed: Cannot open file \"" + path + L"\". "
        + SystemErrorText(ERROR_SHARING_VIOLATION) + L".";
    EXPECT_EQ(RunExpectingError(L"-sig payload.dat", folder.Str(), text), 1u);
}

TEST(Program, SuccessfulStampingShowsNothingAndExitsWithZero)
{
    TempFolder folder;
    const std::filesystem::path path = folder.Path() / L"Data Files" / L"payload.dat";
    std::filesystem::create_directory(path.parent_path());
    const std::string payload = TestPayload(kPayloadSize);
    WriteTestFile(path, payload);

    ChildProcess child(QuorvaneCommand(L"/Sig \"" + path.wstring() + L"\""), folder.Str());
    EXPECT_EQ(child.WaitForExitCode(), 0u);

    const std::string stamped = ReadText(path);
    ASSERT_EQ(stamped.size(), payload.size() + sizeof(Md5Digest));
    const Md5Digest digest = Md5(payload.data(), payload.size());
    EXPECT_EQ(0, std::memcmp(stamped.data() + payload.size(), digest.data(), digest.size()));
}

TEST(Program, WithoutTheSwitchTheMainWindowOpens)
{
    TempFolder folder;
    const std::filesystem::path path = folder.Path() / L"x";
    WriteTestFile(path, TestPayload(kPayloadSize));

    ChildProcess child(QuorvaneCommand(L"--sig x sig x -si x"), folder.Str());
    HWND window = WaitForMainWindow(child.Id());
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.WaitForExitCode(), 0u);
    EXPECT_EQ(std::filesystem::file_size(path), kPayloadSize);
}
