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

    // Opens an existing file with the given access and share mode (0 shares nothing).
    // Throws AppError "Cannot open file "<full path>". <system text>" when the open is refused.
    static File OpenExisting(const std::wstring& aPath, Access aAccess, DWORD aShareMode);

    // Creates aPath for writing, replacing a file of that name, shared with nobody.
    // Throws AppError "Cannot create file "<full path>". <system text>" when the system refuses.
    static File CreateAlways(const std::wstring& aPath);

    bool IsOpen() const noexcept { return handle_.IsValid(); }

    // The file's size in bytes. Throws AppError with the system's text.
    std::int64_t Size() const;

    // Reads up to aCount bytes from the current position; stops early at the end of the
    // file or on a failure and returns the number of bytes read.
    std::size_t Read(void* aBuffer, std::size_t aCount) noexcept;

    // Writes up to aCount bytes at the current position; stops early on a failure and
    // returns the number of bytes written.
    std::size_t Write(const void* aBuffer, std::size_t aCount) noexcept;

    // Reads exactly aCount bytes. Throws AppError "Stream read error" when fewer come.
    void ReadBuffer(void* aBuffer, std::size_t aCount);

    // Writes exactly aCount bytes. Throws AppError "Stream write error" when fewer go.
    void WriteBuffer(const void* aBuffer, std::size_t aCount);

    // Writes the system's buffers of this file to the disk, so that a failing delayed write
    // is reported here. Throws AppError "Stream write error".
    void Flush();

    // Cuts or extends the file to aLength bytes and leaves the position there.
    // False when the system refuses.
    bool SetLength(std::int64_t aLength) noexcept;

private:
    explicit File(HANDLE aHandle) noexcept : handle_(aHandle) {}

    FileHandle handle_;
};

// The full, absolute form of aPath; aPath itself when the system cannot expand it.
std::wstring FullPathName(const std::wstring& aPath);
