// Helpers shared by the test programs.
#include "tests/support/TestSupport.h"

#include "platform/Error.h"

#include <windows.h>

#include <atomic>

namespace {

// Removes a tree through extended-length paths, so names ending in "." or " " go too;
// links to folders are removed themselves, never followed.
void RemoveTree(const std::wstring& aPath)
{
    WIN32_FIND_DATAW data;
    const HANDLE find = FindFirstFileW((aPath + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = data.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = aPath + L"\\" + name;
            const bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
            const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (folder && !link) {
                RemoveTree(child);
            } else if (folder) {
                RemoveDirectoryW(child.c_str());
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(aPath.c_str());
}

} // namespace

std::wstring MessageOf(const std::function<void()>& aAction)
{
    try {
        aAction();
    } catch (const AppError& error) {
        return error.Message();
    }
    return L"(no error)";
}

std::optional<DWORD> CodeOf(const std::function<void()>& aAction)
{
    try {
        aAction();
    } catch (const AppError& error) {
        return error.Code();
    }
    return std::nullopt;
}

std::wstring ExeFolder()
{
    wchar_t buffer[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
    std::wstring path(buffer, length);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

TempFolder::TempFolder()
{
    static std::atomic<unsigned> counter{0};
    wchar_t base[MAX_PATH];
    GetTempPathW(MAX_PATH, base);
    path_ = std::filesystem::path(base) /
        (L"qvtest-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(counter++));
    RemoveTree(L"\\\\?\\" + path_.wstring());
    std::filesystem::create_directories(path_);
}

TempFolder::~TempFolder()
{
    RemoveTree(L"\\\\?\\" + path_.wstring());
}
