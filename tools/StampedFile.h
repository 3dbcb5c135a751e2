// The two database files the tool writes: signature.dat's payload with its MD5 trailer, and a
// .qdb's payload with its SHA-256 trailer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class TStamp { Md5, Sha256 };

// Sha256 for a name ending in ".qdb" (any case), Md5 otherwise.
TStamp StampFor(const std::wstring& aPath);

// The trailer of aPayload: its MD5 or SHA-256 from CNG. Throws AppError when CNG fails.
std::vector<std::uint8_t> Trailer(TStamp aStamp, const std::vector<std::uint8_t>& aPayload);

// Writes aPayload and its trailer to a temporary file beside aOutput, which then takes aOutput's
// place: a failure leaves aOutput as it was. Throws AppError when writing fails.
void WriteStamped(const std::wstring& aOutput, const std::vector<std::uint8_t>& aPayload, TStamp aStamp);
