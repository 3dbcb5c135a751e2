// The file source of an archive walk.
#include "scan/ArchiveSource.h"

#include "platform/Error.h"
#include "scan/ScanHost.h"

#include <windows.h>

#include <cstdio>

namespace {
constexpr DWORD kBlockSize = 64 * 1024;
constexpr DWORD kPausePollMs = 20;
} // namespace

TArchiveFileSource::TArchiveFileSource(SharedReadFile& aFile, TScanHost& aHost)
    : FFile(aFile), FHost(aHost), FBuffer(kBlockSize)
{
}

std::size_t TArchiveFileSource::Next(const std::uint8_t*& aData)
{
    while (FHost.Paused() && !FHost.Terminated())
        Sleep(kPausePollMs);
    if (FHost.Terminated())
        ThrowWin32Error(ERROR_OPERATION_ABORTED, L"");
    aData = FBuffer.data();
    return FFile.Read(FBuffer.data(), kBlockSize);
}

std::int64_t TArchiveFileSource::Seek(std::int64_t aOffset, int aWhence)
{
    const DWORD method = aWhence == SEEK_END ? FILE_END : aWhence == SEEK_CUR ? FILE_CURRENT : FILE_BEGIN;
    return FFile.Seek(aOffset, method);
}
