// CNG digests through bcrypt.dll: one algorithm provider per
// algorithm for the life of the process, and one hash object per digest.
#include "platform/CngHash.h"

#include "platform/BCrypt.h"

#include <algorithm>

namespace {

const wchar_t* AlgorithmName(CngAlgorithm aAlgorithm) noexcept
{
    switch (aAlgorithm) {
    case CngAlgorithm::Md5: return L"MD5";
    case CngAlgorithm::Sha1: return L"SHA-1";
    case CngAlgorithm::Sha256: break;
    }
    return L"SHA-256";
}

void Check(NTSTATUS aStatus, CngAlgorithm aAlgorithm, const wchar_t* aOperation)
{
    CheckBCrypt(aStatus, AlgorithmName(aAlgorithm), aOperation);
}

BCRYPT_ALG_HANDLE OpenProvider(CngAlgorithm aAlgorithm)
{
    BCRYPT_ALG_HANDLE provider = nullptr;
    const wchar_t* id = aAlgorithm == CngAlgorithm::Md5    ? BCRYPT_MD5_ALGORITHM
                        : aAlgorithm == CngAlgorithm::Sha1 ? BCRYPT_SHA1_ALGORITHM
                                                           : BCRYPT_SHA256_ALGORITHM;
    Check(BCrypt().openAlgorithmProvider(&provider, id, nullptr, 0), aAlgorithm, L"BCryptOpenAlgorithmProvider");
    return provider;
}

// The provider of an algorithm, opened on first use and kept for the life of the process.
BCRYPT_ALG_HANDLE Provider(CngAlgorithm aAlgorithm)
{
    switch (aAlgorithm) {
    case CngAlgorithm::Md5: {
        static const BCRYPT_ALG_HANDLE md5 = OpenProvider(CngAlgorithm::Md5);
        return md5;
    }
    case CngAlgorithm::Sha1: {
        static const BCRYPT_ALG_HANDLE sha1 = OpenProvider(CngAlgorithm::Sha1);
        return sha1;
    }
    case CngAlgorithm::Sha256: break;
    }
    static const BCRYPT_ALG_HANDLE sha256 = OpenProvider(CngAlgorithm::Sha256);
    return sha256;
}

constexpr std::size_t kMaxChunk = 1u << 30;

} // namespace

void CngHash::Traits::Close(Type aHandle) noexcept
{
    BCrypt().destroyHash(aHandle);
}

CngHash::CngHash(CngAlgorithm aAlgorithm) : algorithm_(aAlgorithm)
{
    Check(BCrypt().createHash(Provider(aAlgorithm), hash_.Put(), nullptr, 0, nullptr, 0, 0), aAlgorithm,
        L"BCryptCreateHash");
}

void CngHash::Update(const void* aData, std::size_t aLength)
{
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(aData));
    for (std::size_t done = 0; done < aLength;) {
        const auto chunk = static_cast<ULONG>(std::min(aLength - done, kMaxChunk));
        Check(BCrypt().hashData(hash_.Get(), bytes + done, chunk, 0), algorithm_, L"BCryptHashData");
        done += chunk;
    }
}

void CngHash::Finish(std::uint8_t* aDigest)
{
    Check(BCrypt().finishHash(hash_.Get(), aDigest, static_cast<ULONG>(DigestLength(algorithm_)), 0), algorithm_,
        L"BCryptFinishHash");
}
