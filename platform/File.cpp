// File handles: opening, creating, sized reads and writes; full-path expansion.
#include "platform/File.h"

#include "platform/Error.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaxChunk = 1u << 30;

DWORD ChunkSize(std::size_t aRemaining) noexcept
{
    return static_cast<DWORD>(std::min(aRemaining, kMaxChunk));
}

// aCode is taken before the message is made, which may touch the last error.
[[noreturn]] void ThrowStreamError(const wchar_t* aMessage, DWORD aCode)
{
    throw AppError(aMessage, aCode);
}

} // namespace

File File::OpenExisting(const std::wstring& aPath, Access aAccess, DWORD aShareMode)
{
    const DWORD access = aAccess == Access::Read ? GENERIC_READ : GENERIC_READ | GENERIC_WRITE;
    HANDLE handle = CreateFileW(aPath.c_str(), access, aShareMode, nullptr, OPEN_EXISTING,
        FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        throw AppError(L"Cannot open file \"" + FullPathName(aPath) + L"\". " + SystemErrorText(error), error);
    }
    return File(handle);
}

File File::CreateAlways(const std::wstring& aPath)
{
    HANDLE handle = CreateFileW(aPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        throw AppError(L"Cannot create file \"" + FullPathName(aPath) + L"\". " + SystemErrorText(error));
    }
    return File(handle);
}

std::int64_t File::Size() const
{
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(handle_.Get(), &size))
        ThrowLastError(L"Cannot read the file size: ");
    return size.QuadPart;
}

void File::ReadBuffer(void* aBuffer, std::size_t aCount)
{
    auto* bytes = static_cast<std::byte*>(aBuffer);
    for (std::size_t done = 0; done < aCount;) {
        DWORD read = 0;
        if (!ReadFile(handle_.Get(), bytes + done, ChunkSize(aCount - done), &read, nullptr))
            ThrowStreamError(L"Stream read error", GetLastError());
        if (read == 0)
            ThrowStreamError(L"Stream read error", 0);
        done += read;
    }
}

void File::WriteBuffer(const void* aBuffer, std::size_t aCount)
{
    const auto* bytes = static_cast<const std::byte*>(aBuffer);
    for (std::size_t done = 0; done < aCount;) {
        DWORD written = 0;
        if (!WriteFile(handle_.Get(), bytes + done, ChunkSize(aCount - done), &written, nullptr))
            ThrowStreamError(L"Stream write error", GetLastError());
        if (written == 0)
            ThrowStreamError(L"Stream write error", 0);
        done += written;
    }
}

void File::Flush()
{
    if (!FlushFileBuffers(handle_.Get()))
        ThrowStreamError(L"Stream write error", GetLastError());
}

void File::SetLength(std::int64_t aLength)
{
    LARGE_INTEGER position{};
    position.QuadPart = aLength;
    if (!SetFilePointerEx(handle_.Get(), position, nullptr, FILE_BEGIN) || !SetEndOfFile(handle_.Get()))
        ThrowLastError(L"Cannot set the file length: ");
}

std::wstring FullPathName(const std::wstring& aPath)
{
    std::wstring full(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetFullPathNameW(aPath.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
        if (length == 0)
            return aPath;
        if (length < full.size()) {
            full.resize(length);
            return full;
        }
        full.resize(length);
    }
}
