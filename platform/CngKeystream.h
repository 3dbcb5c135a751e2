// A CTR keystream built from AES-256 in ECB mode through CNG (whose own chaining modes have
// no CTR), and random bytes from the system's generator.
#pragma once

#include "platform/Handle.h"

#include <windows.h>
#include <bcrypt.h>

#include <cstddef>
#include <cstdint>
#include <memory>

class CngKeystream {
public:
    static constexpr std::size_t kKeyLength = 32;
    static constexpr std::size_t kNonceLength = 8;

    // Block i of the keystream is AES-256(aKey, aNonce || i as 8 big-endian bytes).
    // Throws AppError when CNG or bcrypt.dll fails.
    CngKeystream(const std::uint8_t* aKey, const std::uint8_t* aNonce);

    // XORs aLength bytes at aData with the keystream from byte aOffset on: applied twice,
    // it gives the data back. Throws AppError when CNG fails.
    void Apply(std::uint8_t* aData, std::size_t aLength, std::uint64_t aOffset);

private:
    struct Traits {
        using Type = BCRYPT_KEY_HANDLE;
        static Type Invalid() noexcept { return nullptr; }
        static void Close(Type aHandle) noexcept;
    };

    std::uint8_t nonce_[kNonceLength];
    std::unique_ptr<std::uint8_t[]> stream_; // one round of counter blocks, then their keystream
    UniqueHandle<Traits> key_;
};

// Fills aLength bytes at aData from the system's preferred random generator.
// Throws AppError when CNG fails.
void CngRandom(void* aData, std::size_t aLength);
