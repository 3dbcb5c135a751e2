// Opening and reading a file with read and write sharing.
#include "platform/SharedReadFile.h"

#include "platform/Error.h"

SharedReadFile::SharedReadFile(const std::wstring& aPath)
    : handle_(CreateFileW(aPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
          FILE_ATTRIBUTE_NORMAL, nullptr))
{
    if (!handle_) {
        const DWORD error = GetLastError();
        ThrowWin32Error(error, L"Cannot open " + aPath + L": ");
    }
}

std::optional<std::pair<std::uint32_t, std::uint64_t>> SharedReadFile::Identity() const noexcept
{
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(handle_.Get(), &information))
        return std::nullopt;
    const std::uint64_t index = (static_cast<std::uint64_t>(information.nFileIndexHigh) << 32) | information.nFileIndexLow;
    return std::pair<std::uint32_t, std::uint64_t>{information.dwVolumeSerialNumber, index};
}

std::uint64_t SharedReadFile::Size() const
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_.Get(), &size))
        ThrowLastError(L"Cannot tell the size: ");
    return static_cast<std::uint64_t>(size.QuadPart);
}

DWORD SharedReadFile::Read(void* aBuffer, DWORD aSize)
{
    DWORD count = 0;
    if (!ReadFile(handle_.Get(), aBuffer, aSize, &count, nullptr))
        ThrowLastError(L"Read error: ");
    return count;
}

std::int64_t SharedReadFile::Seek(std::int64_t aOffset, DWORD aMethod)
{
    LARGE_INTEGER distance{};
    distance.QuadPart = aOffset;
    LARGE_INTEGER position{};
    if (!SetFilePointerEx(handle_.Get(), distance, &position, aMethod))
        ThrowLastError(L"Seek error: ");
    return position.QuadPart;
}
