// Opening a container file for the reader.
#include "tools/ContainerFile.h"

#include "archive/Source.h"
#include "container/Info.h"
#include "detect/SignatureParser.h"
#include "platform/SharedReadFile.h"
#include "platform/Utf8.h"
#include "signature/CngHashProvider.h"

#include <cstdio>
#include <vector>

namespace {

class TContainerFileSource final : public unpack::Source {
public:
    explicit TContainerFileSource(const std::wstring& aPath) : FFile(aPath), FBuffer(kBlockSize) {}

    std::size_t Next(const std::uint8_t*& aData) override
    {
        aData = FBuffer.data();
        return FFile.Read(FBuffer.data(), kBlockSize);
    }
    std::int64_t Seek(std::int64_t aOffset, int aWhence) override
    {
        const DWORD method = aWhence == SEEK_END ? FILE_END : aWhence == SEEK_CUR ? FILE_CURRENT : FILE_BEGIN;
        return FFile.Seek(aOffset, method);
    }

private:
    static constexpr DWORD kBlockSize = 256 * 1024;
    SharedReadFile FFile;
    std::vector<std::uint8_t> FBuffer;
};

} // namespace

TMemberRole MemberRole(std::string_view aName)
{
    if (aName == "COPYING" || cvd::IsInfoName(aName))
        return TMemberRole::Metadata;
    if (detect::IsIgnoreListName(aName))
        return TMemberRole::IgnoreList;
    return detect::KindFromFileName(aName) ? TMemberRole::Signatures : TMemberRole::Unsupported;
}

std::string MemberType(std::string_view aName)
{
    const std::size_t dot = aName.rfind('.');
    std::string type(dot == std::string_view::npos ? aName : aName.substr(dot));
    if (dot != std::string_view::npos) {
        for (char& c : type)
            c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    }
    return type;
}

bool IsContainerPath(const std::wstring& aPath, cvd::Kind& aKind)
{
    return cvd::KindFromFileName(ToUtf8(aPath), aKind);
}

cvd::Header ReadContainerFile(const std::wstring& aPath, cvd::Kind aKind, cvd::MemberVisitor& aVisitor, bool aVerify)
{
    TContainerFileSource source(aPath);
    CngHashProvider hashes;
    cvd::ReadOptions options;
    options.Type = aKind;
    options.Verify = aVerify;
    return cvd::ReadContainer(source, hashes, aVisitor, options);
}
