// One .qdb database file: mapped read-only, its payload followed by the payload's SHA-256.
#pragma once

#include "detect/Cancel.h"
#include "platform/FileMapping.h"

#include <cstddef>
#include <cstdint>
#include <string>

class TQdbFile {
public:
    static constexpr std::size_t kTrailerLength = 32;

    // Maps the file at aPath; it stays open, shared with readers only, while the object lives.
    // Throws AppError (FileMapping's messages; "Invalid file: shorter than its SHA-256 trailer").
    explicit TQdbFile(const std::wstring& aPath);

    // Checks the trailer against the SHA-256 of the payload, hashing the view a piece at a time
    // and asking aPoll before each piece. Throws AppError "Invalid file: SHA-256 check failed"
    // when they differ, AppError when CNG fails, detect::Cancelled.
    void VerifyTrailer(detect::CancelPoll& aPoll) const;

    // The payload in place in the view: the file without its trailer.
    const std::uint8_t* Payload() const noexcept { return FMapping.Data(); }
    std::size_t PayloadLength() const noexcept { return FMapping.Size() - kTrailerLength; }
    // The whole file's size, trailer included.
    std::size_t FileSize() const noexcept { return FMapping.Size(); }

private:
    FileMapping FMapping;
};
