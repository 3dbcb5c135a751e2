// Quorvane.exe -scan PATH: the main window scans exactly that path at once; -sig still wins.
#include "platform/Error.h"
#include "platform/File.h"
#include "platform/Registry.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/MessageBoxProbe.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <map>

namespace {

// A copy of Quorvane.exe beside a signature.dat with the EICAR signatures, in a folder of its own.
class ProgramCopy {
public:
    ProgramCopy()
    {
        std::filesystem::copy_file(FullPathName(ExeFolder() + L"..\\..\\Quorvane.exe"), folder_.Path() / L"Quorvane.exe");
        WriteStamped((folder_.Path() / L"signature.dat").wstring(), DatabasePayload(EicarLines()));
    }
    std::wstring Command(const std::wstring& aArguments) const
    {
        return L"\"" + (folder_.Path() / L"Quorvane.exe").wstring() + L"\" " + aArguments;
    }
    std::wstring Folder() const { return folder_.Str(); }

private:
    TempFolder folder_;
};

std::wstring TextOf(HWND aWindow)
{
    wchar_t text[512] = {};
    GetWindowTextW(aWindow, text, 512);
    return text;
}

BOOL CALLBACK CollectChild(HWND aChild, LPARAM aList)
{
    try {
        reinterpret_cast<std::vector<HWND>*>(aList)->push_back(aChild);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

// Each label of aWindow that names a figure, with the text of the label after it.
std::map<std::wstring, std::wstring> Figures(HWND aWindow)
{
    std::vector<HWND> children;
    EnumChildWindows(aWindow, CollectChild, reinterpret_cast<LPARAM>(&children));
    std::map<std::wstring, std::wstring> figures;
    for (std::size_t i = 0; i + 1 < children.size(); ++i)
        figures[TextOf(children[i])] = TextOf(children[i + 1]);
    return figures;
}

HWND FindResultsWindow(DWORD aProcessId)
{
    for (int i = 0; i < 100; ++i) {
        HWND found = nullptr;
        for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, L"Scan results"); w != nullptr;
             w = FindWindowExW(nullptr, w, nullptr, L"Scan results")) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (owner == aProcessId && IsWindowVisible(w))
                found = w;
        }
        if (found != nullptr)
            return found;
        Sleep(100);
    }
    return nullptr;
}

// The visible top-level windows of a process.
std::vector<HWND> WindowsOf(DWORD aProcessId)
{
    std::vector<HWND> windows;
    for (HWND w = FindWindowExW(nullptr, nullptr, nullptr, nullptr); w != nullptr;
         w = FindWindowExW(nullptr, w, nullptr, nullptr)) {
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner == aProcessId && IsWindowVisible(w))
            windows.push_back(w);
    }
    return windows;
}

struct ScanEnd {
    std::wstring Message;
    std::wstring Scanned;
    std::wstring Infected;
    int ResultRows = -1;
};

// Runs Quorvane.exe -scan with aPathArgument, waits for the completion box, reads the figures,
// presses OK and counts the rows of the results window.
ScanEnd ScanThrough(const std::wstring& aPathArgument)
{
    ScanEnd end;
    const ProgramCopy program;
    ChildProcess child(program.Command(L"-scan " + aPathArgument), program.Folder());
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(child.Id(), std::chrono::seconds(60));
    EXPECT_TRUE(box);
    if (!box)
        return end;
    end.Message = box->text;
    std::map<std::wstring, std::wstring> figures = Figures(box->owner);
    end.Scanned = figures[L"Scanned objects:"];
    end.Infected = figures[L"Infected objects:"];
    EXPECT_TRUE(ClickOk(box->window));
    if (HWND results = FindResultsWindow(child.Id())) {
        HWND list = FindWindowExW(results, nullptr, L"SysListView32", nullptr);
        end.ResultRows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    }
    PostMessageW(box->owner, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.WaitForExitCode(), 0u);
    return end;
}

bool SettingsKeyExists()
{
    return RegistryKey::TryOpen(HKEY_CURRENT_USER, L"Software\\Talbrinn\\Quorvane", KEY_READ).has_value();
}

} // namespace

TEST(ScanSwitch, ScansExactlyTheFolderOrFileGivenAndEndsWithTheResults)
{
    TempFolder folder;
    const std::filesystem::path scanned = folder.Path() / L"scan me";
    std::filesystem::create_directories(scanned / L"sub");
    WriteTestFile(scanned / L"clean.exe", "clean");
    WriteTestFile(scanned / L"sub" / L"eicar.com", EicarText());
    WriteTestFile(scanned / L"notes.txt", EicarText());
    WriteTestFile(folder.Path() / L"beside.com", EicarText());
    const bool hadSettings = SettingsKeyExists();

    // Explorer's form of a folder: quoted, with a trailing backslash.
    const ScanEnd onFolder = ScanThrough(L"\"" + scanned.wstring() + L"\\\"");
    EXPECT_EQ(onFolder.Message, L"Scanning finished successfully.");
    EXPECT_EQ(onFolder.Scanned, L"3") << "the list report, clean.exe and sub\\eicar.com";
    EXPECT_EQ(onFolder.Infected, L"1");
    EXPECT_EQ(onFolder.ResultRows, 1);

    const ScanEnd onFile = ScanThrough(L"\"" + (scanned / L"notes.txt").wstring() + L"\"");
    EXPECT_EQ(onFile.Scanned, L"2") << "a named file is read whatever its extension";
    EXPECT_EQ(onFile.Infected, L"1");
    EXPECT_EQ(onFile.ResultRows, 1);
    EXPECT_EQ(SettingsKeyExists(), hadSettings) << "-scan neither creates nor removes the settings key";
}

TEST(ScanSwitch, AMissingPathFailsTheStartWithAnError)
{
    TempFolder folder;
    const std::wstring missing = folder.Str() + L"\\gone.exe";
    const ProgramCopy program;
    ChildProcess child(program.Command(L"-scan \"" + missing + L"\""), program.Folder());
    const std::optional<MessageBoxInfo> box = WaitForMessageBox(child.Id(), std::chrono::seconds(60));
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"File or folder not found: " + missing + L".");
    EXPECT_TRUE(ClickOk(box->window));
    Sleep(500);
    const std::vector<HWND> windows = WindowsOf(child.Id());
    EXPECT_EQ(windows.size(), 1u) << "the main window alone, no results window";
    for (HWND window : windows)
        PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.WaitForExitCode(), 0u);
}

TEST(ScanSwitch, SigWinsOverScan)
{
    TempFolder folder;
    const std::filesystem::path file = folder.Path() / L"x";
    WriteTestFile(file, TestPayload(16777216));
    const ProgramCopy program;
    ChildProcess child(program.Command(L"-scan \"" + folder.Str() + L"\" -sig x"), folder.Str());
    EXPECT_EQ(child.WaitForExitCode(), 0u);
    EXPECT_EQ(std::filesystem::file_size(file), 16777216u + 16) << "stamped, no scan";
}
