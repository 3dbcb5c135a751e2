// The scanner base: the object reader and the percentage of the step protocol.
#include "scan/Scanner.h"

#include "platform/Error.h"
#include "platform/FileExistence.h"
#include "platform/Wow64Redirection.h"
#include "scan/PathResolver.h"
#include "scan/ScanHost.h"

#include <vector>

namespace {

constexpr DWORD kBlockSize = 8192;

} // namespace

void TScanner::ScanFile(const std::wstring& aPath)
{
    if (aPath.empty())
        return;
    try {
        SharedReadFile file = OpenObject(ResolveFilePath(aPath));
        ReadObject(file);
    } catch (const AppError&) {
        // A failure with one object is dropped: the scan goes on with the next one. Code() holds
        // the system's code of a refused open or read, 0 for a path that cannot be resolved.
    } catch (...) {
        // So is any other failure with it.
    }
}

void TScanner::ScanBuffer(const std::uint8_t* /*aBuffer*/, DWORD /*aCount*/)
{
}

std::uint8_t TScanner::Percentage(std::int32_t aCurrent, std::size_t aCount) noexcept
{
    const std::int64_t percent = (static_cast<std::int64_t>(aCurrent) + 1) * 100 / static_cast<std::int64_t>(aCount);
    return static_cast<std::uint8_t>(percent);
}

void TScanner::NextEntry(std::int32_t& aCurrent, std::size_t aCount) noexcept
{
    ++aCurrent;
    if (static_cast<std::size_t>(aCurrent) >= aCount)
        aCurrent = -1;
}

SharedReadFile TScanner::OpenObject(const std::wstring& aPath)
{
    if (FileExists(aPath))
        return SharedReadFile(aPath);
    const Wow64RedirectionOff nativeView;
    return SharedReadFile(aPath);
}

void TScanner::ReadObject(SharedReadFile& aFile)
{
    std::vector<std::uint8_t> buffer(kBlockSize);
    for (;;) {
        const DWORD count = aFile.Read(buffer.data(), kBlockSize);
        if (count == 0)
            return;
        ScanBuffer(buffer.data(), count);
        if (FScannerThread->Terminated())
            return;
    }
}
