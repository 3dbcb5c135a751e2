// MD5 through BCrypt, loaded from the system folder: an algorithm provider and a hash object.
#include "platform/Md5.h"


#include "platform/Error.h"
#include "platform/Handle.h"
#include "platform/SystemLibrary.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdio>

namespace {

struct BCryptFunctions {
    decltype(&BCryptOpenAlgorithmProvider) openAlgorithmProvider = nullptr;
    decltype(&BCryptCloseAlgorithmProvider) closeAlgorithmProvider = nullptr;
    decltype(&BCryptCreateHash) createHash = nullptr;
    decltype(&BCryptHashData) hashData = nullptr;
    decltype(&BCryptFinishHash) finishHash = nullptr;
    decltype(&BCryptDestroyHash) destroyHash = nullptr;
};

template <typename Function>
void Bind(HMODULE aLibrary, Function& aFunction, const char* aName)
{
    aFunction = ProcedureAddress<Function>(aLibrary, aName);
    if (aFunction == nullptr)
        ThrowLastError(L"MD5: bcrypt.dll lacks a function: ");
}

// Loaded from the system folder, never imported (see SystemLibrary.h).
BCryptFunctions LoadBCrypt()
{
    const HMODULE library = LoadSystemLibrary(L"bcrypt.dll");
    if (library == nullptr)
        ThrowLastError(L"MD5: cannot load bcrypt.dll: ");
    BCryptFunctions functions;
    Bind(library, functions.openAlgorithmProvider, "BCryptOpenAlgorithmProvider");
    Bind(library, functions.closeAlgorithmProvider, "BCryptCloseAlgorithmProvider");
    Bind(library, functions.createHash, "BCryptCreateHash");
    Bind(library, functions.hashData, "BCryptHashData");
    Bind(library, functions.finishHash, "BCryptFinishHash");
    Bind(library, functions.destroyHash, "BCryptDestroyHash");
    return functions;
}

// Throws AppError when bcrypt.dll or one of its functions is missing.
const BCryptFunctions& BCrypt()
{
    static const BCryptFunctions functions = LoadBCrypt();
    return functions;
}

struct AlgorithmTraits {
    using Type = BCRYPT_ALG_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type aHandle) noexcept { BCrypt().closeAlgorithmProvider(aHandle, 0); }
};

struct HashTraits {
    using Type = BCRYPT_HASH_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type aHandle) noexcept { BCrypt().destroyHash(aHandle); }
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
    const BCryptFunctions& bcrypt = BCrypt();
    UniqueHandle<AlgorithmTraits> algorithm;
    Check(bcrypt.openAlgorithmProvider(algorithm.Put(), BCRYPT_MD5_ALGORITHM, nullptr, 0), L"BCryptOpenAlgorithmProvider");
    UniqueHandle<HashTraits> hash;
    Check(bcrypt.createHash(algorithm.Get(), hash.Put(), nullptr, 0, nullptr, 0, 0), L"BCryptCreateHash");
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(aData));
    for (std::size_t done = 0; done < aLength;) {
        const auto chunk = static_cast<ULONG>(std::min(aLength - done, kMaxChunk));
        Check(bcrypt.hashData(hash.Get(), bytes + done, chunk, 0), L"BCryptHashData");
        done += chunk;
    }
    Md5Digest digest{};
    Check(bcrypt.finishHash(hash.Get(), digest.data(), static_cast<ULONG>(digest.size()), 0), L"BCryptFinishHash");
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
