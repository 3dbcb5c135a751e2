// An open file handle with sized reads and writes, and full-path expansion.
#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

class File {
public:
    enum class Access { Read, ReadWrite };

    File() noexcept = default;

    // Opens an existing file with the given access and share mode (0 shares nothing). Throws
    // AppError "Cannot open file "<full path>". <system text>" with the system's code when refused.
    static File OpenExisting(const std::wstring& aPath, Access aAccess, DWORD aShareMode);

    // Creates aPath for writing, replacing a file of that name, shared with nobody.
    // Throws AppError "Cannot create file "<full path>". <system text>" when the system refuses.
    static File CreateAlways(const std::wstring& aPath);

    bool IsOpen() const noexcept { return handle_.IsValid(); }
    // The open handle, still owned by this object.
    HANDLE Native() const noexcept { return handle_.Get(); }

    // The file's size in bytes. Throws AppError with the system's text and code.
    std::int64_t Size() const;

    // Reads exactly aCount bytes from the current position. Throws AppError "Stream read error"
    // when the file ends first (code 0) or the system fails (its code).
    void ReadBuffer(void* aBuffer, std::size_t aCount);

    // Writes aCount bytes at the current position. Throws AppError "Stream write error" when the
    // system fails (its code) or takes nothing (code 0).
    void WriteBuffer(const void* aBuffer, std::size_t aCount);

    // Writes the system's buffers of this file to the disk, so that a failing delayed write
    // is reported here. Throws AppError "Stream write error" with the system's code.
    void Flush();

    // Cuts or extends the file to aLength bytes and leaves the position there. Throws AppError
    // "Cannot set the file length: <system text>" with the system's code when the system refuses.
    void SetLength(std::int64_t aLength);

private:
    explicit File(HANDLE aHandle) noexcept : handle_(aHandle) {}

    FileHandle handle_;
};

// The full, absolute form of aPath; aPath itself when the system cannot expand it.
std::wstring FullPathName(const std::wstring& aPath);
