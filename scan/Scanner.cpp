// The scanner base: the object reader and the percentage of the step protocol.
#include "scan/Scanner.h"

#include "platform/Error.h"
#include "platform/FileExistence.h"
#include "platform/Wow64Redirection.h"
#include "scan/ObjectInspector.h"
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
        const std::wstring resolved = ResolveFilePath(aPath);
        if (TObjectInspector* inspector = FScannerThread->Inspector()) {
            ReadInspected(resolved, *inspector);
        } else {
            SharedReadFile file = OpenObject(resolved);
            ReadObject(file);
        }
    } catch (const AppError&) {
        // A failure with one object is dropped: the scan goes on with the next one. Code() holds
        // the system's code of a refused open or read, 0 for a path that cannot be resolved.
    } catch (...) {
        // So is any other failure with it.
    }
}

void TScanner::ReadInspected(const std::wstring& aResolved, TObjectInspector& aInspector)
{
    SharedReadFile file = OpenObject(aResolved);
    aInspector.Begin(file.Size());
    bool complete = false;
    try {
        complete = ReadObject(file);
    } catch (...) {
        if (std::optional<TFinding> finding = aInspector.End(aResolved, false))
            FScannerThread->AddFinding(std::move(*finding));
        throw;
    }
    if (std::optional<TFinding> finding = aInspector.End(aResolved, complete))
        FScannerThread->AddFinding(std::move(*finding));
}

void TScanner::ScanBuffer(const std::uint8_t* aBuffer, DWORD aCount)
{
    if (TObjectInspector* inspector = FScannerThread->Inspector())
        inspector->Inspect(aBuffer, aCount);
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

bool TScanner::ReadObject(SharedReadFile& aFile)
{
    std::vector<std::uint8_t> buffer(kBlockSize);
    for (;;) {
        const DWORD count = aFile.Read(buffer.data(), kBlockSize);
        if (count == 0)
            return true;
        ScanBuffer(buffer.data(), count);
        if (FScannerThread->Terminated())
            return false;
    }
}
