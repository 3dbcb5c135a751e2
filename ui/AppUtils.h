// Path and folder helpers of the interface: the folder and save pickers and the drive-root test.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

// Shows the system folder picker owned by aOwner; true with aPath set when a folder was chosen.
// Throws AppError ("You can't add custom folder on Windows less then Vista") before Windows Vista.
bool SelectFolder(const std::wstring& aTitle, HWND aOwner, std::wstring& aPath);

// Shows the system save dialog owned by aOwner, offering aFileName (its type named aTypeName,
// pattern "*." + aExtension, which is added to a name given without one; any name, as given, when
// aExtension is empty); true with aPath set when a file was chosen. False, with nothing chosen,
// when the dialog is not available.
bool SelectSaveFile(const std::wstring& aFileName, const std::wstring& aTypeName, const std::wstring& aExtension,
    HWND aOwner, std::wstring& aPath);

// True exactly when aText is three characters long, as a drive root such as "C:\".
bool IsDriveRoot(std::wstring_view aText) noexcept;

// The real major version number of the running Windows (RtlGetVersion, not the compatibility one);
// 0 when it cannot be read.
DWORD WindowsMajorVersion() noexcept;

// True when Windows of that major version has the folder picker (Windows Vista, 6, and later).
bool HasFolderPicker(DWORD aMajorVersion) noexcept;
