// Mapping a .qdb file and checking its SHA-256 trailer over the view through CNG.
#include "signature/QdbFile.h"

#include "platform/CngHash.h"
#include "platform/Error.h"

#include <array>
#include <cstring>

TQdbFile::TQdbFile(const std::wstring& aPath) : FMapping(FileMapping::Open(aPath))
{
    if (FMapping.Size() <= kTrailerLength)
        throw AppError(L"Invalid file: shorter than its SHA-256 trailer");
}

void TQdbFile::VerifyTrailer(detect::CancelPoll& aPoll) const
{
    CngHash hash(CngAlgorithm::Sha256);
    aPoll.InPieces(PayloadLength(), [&](std::size_t aAt, std::size_t aLength) { hash.Update(Payload() + aAt, aLength); });
    std::array<std::uint8_t, kTrailerLength> digest{};
    hash.Finish(digest.data());
    if (std::memcmp(digest.data(), Payload() + PayloadLength(), kTrailerLength) != 0)
        throw AppError(L"Invalid file: SHA-256 check failed");
}
