// MD5 of a whole buffer, and its text form.
#include "platform/Md5.h"

#include "platform/CngHash.h"

Md5Digest Md5(const void* aData, std::size_t aLength)
{
    CngHash hash(CngAlgorithm::Md5);
    hash.Update(aData, aLength);
    Md5Digest digest{};
    hash.Finish(digest.data());
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
