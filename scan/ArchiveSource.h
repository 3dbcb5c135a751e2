// An open file as the archive walker's source: read in large blocks, holding while the scan is
// paused, failing once Stop is requested.
#pragma once

#include "archive/Source.h"
#include "platform/SharedReadFile.h"

#include <cstdint>
#include <vector>

class TScanHost;

class TArchiveFileSource final : public unpack::Source {
public:
    // aFile and aHost must outlive the source.
    TArchiveFileSource(SharedReadFile& aFile, TScanHost& aHost);

    // Throws AppError with the system's code when the read fails, and with
    // ERROR_OPERATION_ABORTED once Stop is requested.
    std::size_t Next(const std::uint8_t*& aData) override;
    std::int64_t Seek(std::int64_t aOffset, int aWhence) override;

private:
    SharedReadFile& FFile;
    TScanHost& FHost;
    std::vector<std::uint8_t> FBuffer;
};
