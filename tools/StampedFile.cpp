// Writing a stamped database file.
#include "tools/StampedFile.h"

#include "platform/CngHash.h"
#include "platform/Error.h"
#include "platform/Md5.h"

#include <windows.h>

#include <filesystem>
#include <fstream>

namespace {

void WriteFile(const std::wstring& aPath, const std::vector<std::uint8_t>& aPayload, const std::vector<std::uint8_t>& aTrailer)
{
    std::ofstream file(std::filesystem::path(aPath), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(aPayload.data()), static_cast<std::streamsize>(aPayload.size()));
    file.write(reinterpret_cast<const char*>(aTrailer.data()), static_cast<std::streamsize>(aTrailer.size()));
    file.close();
    if (!file)
        throw AppError(L"Cannot write file \"" + aPath + L"\"");
}

} // namespace

TStamp StampFor(const std::wstring& aPath)
{
    if (aPath.size() < 4)
        return TStamp::Md5;
    std::wstring extension = aPath.substr(aPath.size() - 4);
    for (wchar_t& c : extension)
        c = c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c + (L'a' - L'A')) : c;
    return extension == L".qdb" ? TStamp::Sha256 : TStamp::Md5;
}

// The MD5 by the same code that -sig uses.
std::vector<std::uint8_t> Trailer(TStamp aStamp, const std::vector<std::uint8_t>& aPayload)
{
    if (aStamp == TStamp::Md5) {
        const Md5Digest digest = Md5(aPayload.data(), aPayload.size());
        return {digest.begin(), digest.end()};
    }
    CngHash hash(CngAlgorithm::Sha256);
    hash.Update(aPayload.data(), aPayload.size());
    std::vector<std::uint8_t> digest(CngHash::DigestLength(CngAlgorithm::Sha256));
    hash.Finish(digest.data());
    return digest;
}

void WriteStamped(const std::wstring& aOutput, const std::vector<std::uint8_t>& aPayload, TStamp aStamp)
{
    const std::wstring temporary = aOutput + L".partial";
    try {
        WriteFile(temporary, aPayload, Trailer(aStamp, aPayload));
        if (!MoveFileExW(temporary.c_str(), aOutput.c_str(), MOVEFILE_REPLACE_EXISTING))
            ThrowLastError(L"Cannot write file \"" + aOutput + L"\": ");
    } catch (...) {
        DeleteFileW(temporary.c_str());
        throw;
    }
}
