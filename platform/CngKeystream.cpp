// AES through bcrypt.dll: one provider in ECB mode for the life
// of the process, one key object per keystream.
#include "platform/CngKeystream.h"

#include "platform/BCrypt.h"

#include <algorithm>
#include <cstring>

namespace {

void Check(NTSTATUS aStatus, const wchar_t* aOperation)
{
    CheckBCrypt(aStatus, L"AES", aOperation);
}

BCRYPT_ALG_HANDLE OpenEcbProvider()
{
    BCRYPT_ALG_HANDLE provider = nullptr;
    Check(BCrypt().openAlgorithmProvider(&provider, BCRYPT_AES_ALGORITHM, nullptr, 0), L"BCryptOpenAlgorithmProvider");
    auto* mode = reinterpret_cast<PUCHAR>(const_cast<wchar_t*>(BCRYPT_CHAIN_MODE_ECB));
    Check(BCrypt().setProperty(provider, BCRYPT_CHAINING_MODE, mode, sizeof(BCRYPT_CHAIN_MODE_ECB), 0),
        L"BCryptSetProperty");
    return provider;
}

BCRYPT_ALG_HANDLE EcbProvider()
{
    static const BCRYPT_ALG_HANDLE provider = OpenEcbProvider();
    return provider;
}

constexpr std::size_t kBlock = 16;
constexpr std::size_t kBlocksPerRound = 4096;

} // namespace

void CngKeystream::Traits::Close(Type aHandle) noexcept
{
    BCrypt().destroyKey(aHandle);
}

CngKeystream::CngKeystream(const std::uint8_t* aKey, const std::uint8_t* aNonce)
    : stream_(std::make_unique<std::uint8_t[]>(kBlock * kBlocksPerRound))
{
    std::memcpy(nonce_, aNonce, kNonceLength);
    Check(BCrypt().generateSymmetricKey(EcbProvider(), key_.Put(), nullptr, 0, const_cast<PUCHAR>(aKey),
              static_cast<ULONG>(kKeyLength), 0),
        L"BCryptGenerateSymmetricKey");
}

void CngKeystream::Apply(std::uint8_t* aData, std::size_t aLength, std::uint64_t aOffset)
{
    std::uint8_t* const stream = stream_.get();
    std::size_t done = 0;
    while (done < aLength) {
        const std::uint64_t position = aOffset + done;
        const std::uint64_t firstBlock = position / kBlock;
        const std::size_t skip = static_cast<std::size_t>(position % kBlock);
        const std::size_t blocks = std::min(kBlocksPerRound, (skip + aLength - done + kBlock - 1) / kBlock);
        for (std::size_t b = 0; b < blocks; ++b) {
            std::uint8_t* block = stream + b * kBlock;
            std::memcpy(block, nonce_, kNonceLength);
            const std::uint64_t counter = firstBlock + b;
            for (std::size_t i = 0; i < 8; ++i)
                block[kNonceLength + i] = static_cast<std::uint8_t>(counter >> (8 * (7 - i)));
        }
        ULONG written = 0;
        const auto bytes = static_cast<ULONG>(blocks * kBlock);
        Check(BCrypt().encrypt(key_.Get(), stream, bytes, nullptr, nullptr, 0, stream, bytes, &written, 0),
            L"BCryptEncrypt");
        const std::size_t take = std::min<std::size_t>(bytes - skip, aLength - done);
        for (std::size_t i = 0; i < take; ++i)
            aData[done + i] ^= stream[skip + i];
        done += take;
    }
}

void CngRandom(void* aData, std::size_t aLength)
{
    auto* bytes = static_cast<PUCHAR>(aData);
    for (std::size_t done = 0; done < aLength;) {
        const auto chunk = static_cast<ULONG>(std::min<std::size_t>(aLength - done, 1u << 30));
        Check(BCrypt().genRandom(nullptr, bytes + done, chunk, BCRYPT_USE_SYSTEM_PREFERRED_RNG), L"BCryptGenRandom");
        done += chunk;
    }
}
