// MD5 digests (RFC 1321) from Windows' own cryptography provider (CNG).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

using Md5Digest = std::array<std::uint8_t, 16>;

// The MD5 digest of aLength bytes at aData, in one pass. Throws AppError when CNG fails.
Md5Digest Md5(const void* aData, std::size_t aLength);

// The digest as 32 lowercase hexadecimal digits, high digit of each byte first.
std::wstring ToLowerHex(const Md5Digest& aDigest);
