// Path and folder helpers of the interface: the folder picker and the drive-root test.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Shows the system folder picker owned by aOwner; true with aPath set when a folder was chosen.
// Throws AppError ("You can't add custom folder on Windows less then Vista") before Windows Vista.
bool SelectFolder(const std::wstring& aTitle, HWND aOwner, std::wstring& aPath);

// True exactly when aText is three characters long, as a drive root such as "C:\".
bool IsDriveRoot(std::wstring_view aText) noexcept;

// The real major version number of the running Windows (RtlGetVersion, not the compatibility one);
// 0 when it cannot be read.
DWORD WindowsMajorVersion() noexcept;

// True when Windows of that major version has the folder picker (Windows Vista, 6, and later).
bool HasFolderPicker(DWORD aMajorVersion) noexcept;
