// Running MD5, SHA-1 and SHA-256 digests from Windows' own cryptography provider (CNG).
#pragma once

#include "platform/Handle.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstddef>
#include <cstdint>

enum class CngAlgorithm { Md5, Sha1, Sha256 };

class CngHash {
public:
    // Starts a digest. Throws AppError when CNG or bcrypt.dll fails.
    explicit CngHash(CngAlgorithm aAlgorithm);

    // Adds aLength bytes at aData. Throws AppError when CNG fails.
    void Update(const void* aData, std::size_t aLength);
    // Writes the DigestLength bytes of the digest to aDigest; the object is spent afterwards.
    // Throws AppError when CNG fails.
    void Finish(std::uint8_t* aDigest);

    static constexpr std::size_t DigestLength(CngAlgorithm aAlgorithm) noexcept
    {
        return aAlgorithm == CngAlgorithm::Md5 ? 16 : aAlgorithm == CngAlgorithm::Sha1 ? 20 : 32;
    }

private:
    struct Traits {
        using Type = BCRYPT_HASH_HANDLE;
        static Type Invalid() noexcept { return nullptr; }
        static void Close(Type aHandle) noexcept;
    };

    CngAlgorithm algorithm_;
    UniqueHandle<Traits> hash_;
};
