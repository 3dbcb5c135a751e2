// Helpers shared by the test programs: temporary folders and the program's own folder.
#pragma once

#include <windows.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

// The message of the AppError that aAction throws, or "(no error)".
std::wstring MessageOf(const std::function<void()>& aAction);
// The system error code of the AppError that aAction throws (0 for none); empty when none is thrown.
std::optional<DWORD> CodeOf(const std::function<void()>& aAction);

// The folder that holds the running test program, with a trailing backslash.
std::wstring ExeFolder();

// A fresh, empty folder under the prefix's temporary folder, removed when the object goes.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::wstring Str() const { return path_.wstring(); }

private:
    std::filesystem::path path_;
};
