// MD5 through BCrypt: an algorithm provider and a hash object, each owned by a handle.
#include "platform/Md5.h"

#include "platform/Error.h"
#include "platform/Handle.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>

namespace {

struct AlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type aHandle) noexcept { BCryptCloseAlgorithmProvider(aHandle, 0); }
};

struct HashTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type aHandle) noexcept { BCryptDestroyHash(aHandle); }
};

constexpr std::size_t kMaxChunk = 1u << 30;

void Check(NTSTATUS aStatus, const wchar_t* aOperation)
{
    if (aStatus < 0) {
        wchar_t text[80];
        std::swprintf(text, std::size(text), L"MD5: %ls failed with status 0x%08lX", aOperation,
            static_cast<unsigned long>(aStatus));
        throw AppError(text);
    }
}

} // namespace

Md5Digest Md5(const void* aData, std::size_t aLength)
{
    UniqueHandle<AlgorithmTraits> algorithm;
    Check(BCryptOpenAlgorithmProvider(algorithm.Put(), BCRYPT_MD5_ALGORITHM, nullptr, 0), L"BCryptOpenAlgorithmProvider");
    UniqueHandle<HashTraits> hash;
    Check(BCryptCreateHash(algorithm.Get(), hash.Put(), nullptr, 0, nullptr, 0, 0), L"BCryptCreateHash");
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(aData));
    for (std::size_t done = 0; done < aLength;) {
        const auto chunk = static_cast<ULONG>(std::min(aLength - done, kMaxChunk));
        Check(BCryptHashData(hash.Get(), bytes + done, chunk, 0), L"BCryptHashData");
        done += chunk;
    }
    Md5Digest digest{};
    Check(BCryptFinishHash(hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0), L"BCryptFinishHash");
    return digest;
}

std::wstring ToLowerHex(const Md5Digest& aDigest)
{
    static constexpr wchar_t kDigits[] = L"0123456789abcdef";
    std::wstring text;
    text.reserve(aDigest.size() * 2);
    for (const std::uint8_t value : aDigest) {
        text += kDigits[value >> 4];
        text += kDigits[value & 0x0F];
    }
    return text;
}
