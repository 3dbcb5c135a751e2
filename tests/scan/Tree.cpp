// Test trees: Win32 calls for files and folders, /bin/ln through Wine for Linux links.
#include "tests/scan/Tree.h"

#include "platform/Handle.h"
#include "platform/SystemLibrary.h"

#include <gtest/gtest.h>
#include <windows.h>

void MakeTree(const std::wstring& aRoot, std::initializer_list<const wchar_t*> aEntries)
{
    for (const wchar_t* entry : aEntries) {
        const std::wstring path = aRoot + L"\\" + entry;
        if (path.back() == L'\\') {
            ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << path;
            continue;
        }
        const FileHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file.IsValid()) << path;
    }
}

namespace {

std::string UnixPath(const std::wstring& aPath)
{
    using UnixName = char*(CDECL*)(LPCWSTR);
    const auto unixName = ProcedureAddress<UnixName>(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name");
    char* name = unixName != nullptr ? unixName(aPath.c_str()) : nullptr;
    if (name == nullptr)
        return {};
    std::string path(name);
    HeapFree(GetProcessHeap(), 0, name);
    return path;
}

bool LinkPresent(const std::wstring& aLink)
{
    WIN32_FIND_DATAW data;
    return FindHandle(FindFirstFileW(aLink.c_str(), &data)).IsValid();
}

// Starts a Linux program through Wine and waits until aPresent gives aDone (Wine has no
// waitable handle for a Linux process).
bool RunLinux(const wchar_t* aProgram, const std::string& aArguments, const std::wstring& aLink, bool aDone)
{
    std::wstring commandLine(aArguments.begin(), aArguments.end());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(aProgram, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    const KernelHandle processHandle(process.hProcess);
    const KernelHandle threadHandle(process.hThread);
    for (int tries = 0; tries < 500; ++tries) {
        if (LinkPresent(aLink) == aDone)
            return true;
        Sleep(10);
    }
    return false;
}

}

LinuxLink::LinuxLink(const std::wstring& aLink, const std::string& aTarget) : link_(aLink), unixLink_(UnixPath(aLink))
{
    if (!unixLink_.empty())
        made_ = RunLinux(L"Z:\\bin\\ln", "ln -s \"" + aTarget + "\" \"" + unixLink_ + "\"", link_, true);
}

LinuxLink::~LinuxLink()
{
    if (made_)
        RunLinux(L"Z:\\bin\\rm", "rm \"" + unixLink_ + "\"", link_, false);
}

LinuxFolders::LinuxFolders(const std::wstring& aFolder, const std::string& aChain)
    : marker_(aFolder + L"\\.made"), unixFolder_(UnixPath(aFolder)), top_(aChain.substr(0, aChain.find('/')))
{
    if (!unixFolder_.empty()) {
        made_ = RunLinux(L"Z:\\bin\\sh",
            "sh -c \"cd '" + unixFolder_ + "' && mkdir -p '" + aChain + "' && touch .made\"", marker_, true);
    }
}

LinuxFolders::~LinuxFolders()
{
    if (made_)
        RunLinux(L"Z:\\bin\\sh", "sh -c \"cd '" + unixFolder_ + "' && rm -rf '" + top_ + "' .made\"", marker_, false);
}

void WriteNamedFile(const std::wstring& aPath, const std::string& aContent)
{
    const FileHandle file(CreateFileW(aPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.IsValid()) << testing::PrintToString(aPath);
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file.Get(), aContent.data(), static_cast<DWORD>(aContent.size()), &written, nullptr));
}

std::wstring LongName(std::size_t aLength, wchar_t aFill)
{
    return std::wstring(aLength, aFill);
}
