// Arbitrary bytes as a ClamAV database container, with small limits: the reader must end with the
// header or a cvd::Error, hand no member beyond the limits, and hand members by printable names.
// The first byte picks how: a .cld checked against its .info list (no header MD5, which random
// input never matches), or a .cvd read without checks, so that the tar walk itself is reached.
#include "container/Error.h"
#include "container/Reader.h"
#include "native/OpenSslHashProvider.h"

#include <cstdlib>

namespace {

constexpr cvd::Limits kLimits{16, 256 * 1024, 4096};

class CheckingVisitor final : public cvd::MemberVisitor {
public:
    bool Wants(std::string_view aName) override
    {
        if (aName.empty())
            std::abort();
        return aName.size() % 2 == 0;
    }
    void Member(std::string_view aName, std::span<const std::uint8_t> aContent) override
    {
        if (aName.size() % 2 != 0 || aContent.size() > kLimits.MemberSize || ++members_ > kLimits.Members)
            std::abort();
        for (const char c : aName) {
            if (c <= 0x20 || c >= 0x7f || c == '/' || c == '\\')
                std::abort();
        }
        volatile std::uint8_t sink = aContent.empty() ? 0 : aContent.back();
        (void)sink;
    }

private:
    std::uint64_t members_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    if (aSize == 0)
        return 0;
    const bool checked = aData[0] % 2 == 0;
    const cvd::ReadOptions options{checked ? cvd::Kind::Cld : cvd::Kind::Cvd, checked, kLimits};
    static native::OpenSslHashProvider hashes;
    CheckingVisitor visitor;
    unpack::MemorySource source(aData + 1, aSize - 1);
    try {
        cvd::ReadContainer(source, hashes, visitor, options);
    } catch (const cvd::Error&) {
    }
    return 0;
}
