// Files the tests write.
#include "tests/support/TestFiles.h"

#include "platform/Md5.h"
#include "signature/Signature.h"
#include "tests/support/TestSupport.h"

#include <fstream>
#include <stdexcept>

void WriteTestFile(const std::filesystem::path& aPath, std::string_view aContent)
{
    std::ofstream file(aPath, std::ios::binary | std::ios::trunc);
    file.write(aContent.data(), static_cast<std::streamsize>(aContent.size()));
    if (!file)
        throw std::runtime_error("cannot write test file " + aPath.string());
}

std::string TestPayload(std::size_t aSize)
{
    std::string bytes(aSize, '\0');
    for (std::size_t i = 0; i < bytes.size(); i += 4093)
        bytes[i] = static_cast<char>(i / 4093 + 1);
    return bytes;
}

std::string StampedPayload(std::size_t aTotal)
{
    std::string bytes = TestPayload(aTotal - sizeof(Md5Digest));
    const Md5Digest digest = Md5(bytes.data(), bytes.size());
    bytes.append(reinterpret_cast<const char*>(digest.data()), digest.size());
    return bytes;
}

std::wstring SignaturePath()
{
    return ExeFolder() + L"signature.dat";
}

void WriteSignatureFile()
{
    WriteTestFile(SignaturePath(), StampedPayload(static_cast<std::size_t>(TSignature::kMinFileSize)));
}

void RemoveSignatureFile()
{
    std::error_code ignored;
    std::filesystem::remove(SignaturePath(), ignored);
}
