// A file opened for reading while others may go on reading and writing it.
#pragma once

#include "platform/Handle.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

class SharedReadFile {
public:
    // CreateFileW with GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING and
    // FILE_ATTRIBUTE_NORMAL. Throws AppError "Cannot open <path>: <system text>" with the
    // system's code when the open fails.
    explicit SharedReadFile(const std::wstring& aPath);

    // Reads up to aSize bytes from the current position; returns the count, 0 only at the end.
    // Throws AppError "Read error: <system text>" with the system's code when the read fails.
    DWORD Read(void* aBuffer, DWORD aSize);

    // Moves the read position aOffset bytes from aMethod (FILE_BEGIN, FILE_CURRENT or FILE_END)
    // and returns the new position. Throws AppError "Seek error: <system text>" when it fails.
    std::int64_t Seek(std::int64_t aOffset, DWORD aMethod);

    // The file's size in bytes as the system reports it. Throws AppError when it cannot tell.
    std::uint64_t Size() const;

    // The volume serial number and the file index (GetFileInformationByHandle): equal for every
    // spelling of one file. nullopt when the system cannot tell.
    std::optional<std::pair<std::uint32_t, std::uint64_t>> Identity() const noexcept;

private:
    FileHandle handle_;
};
