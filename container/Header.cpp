// Parsing a container header's fields.
#include "container/Header.h"

#include "container/Error.h"

#include <charconv>
#include <limits>
#include <vector>

namespace cvd {

namespace {

constexpr std::string_view kMagic = "ClamAV-VDB:";
constexpr std::size_t kRequiredFields = 7;

std::string_view TrimPadding(std::string_view aText)
{
    const std::size_t end = aText.find_last_not_of(std::string_view(" \r\n\0", 4));
    return end == std::string_view::npos ? std::string_view() : aText.substr(0, end + 1);
}

std::vector<std::string_view> SplitFields(std::string_view aText)
{
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t colon = aText.find(':');
        fields.push_back(aText.substr(0, colon));
        if (colon == std::string_view::npos)
            return fields;
        aText.remove_prefix(colon + 1);
    }
}

template <typename T>
T Number(std::string_view aField, const char* aWhat)
{
    T value = 0;
    const auto [end, status] = std::from_chars(aField.data(), aField.data() + aField.size(), value);
    if (aField.empty() || status != std::errc() || end != aField.data() + aField.size())
        throw Error(std::string("container header: invalid ") + aWhat);
    return value;
}

bool IsPrintable(std::string_view aText)
{
    for (const char c : aText) {
        if (c < 0x20 || c > 0x7e)
            return false;
    }
    return true;
}

} // namespace

Header ParseHeader(std::string_view aText)
{
    if (aText.size() > kHeaderLength)
        aText = aText.substr(0, kHeaderLength);
    if (!aText.starts_with(kMagic))
        throw Error("not a ClamAV database container (no \"ClamAV-VDB:\" header)");
    aText = TrimPadding(aText.substr(kMagic.size()));
    if (!IsPrintable(aText))
        throw Error("container header: unexpected characters");
    const std::vector<std::string_view> fields = SplitFields(aText);
    if (fields.size() < kRequiredFields)
        throw Error("container header: fields missing");
    Header header;
    header.Time = fields[0];
    header.Version = Number<std::uint32_t>(fields[1], "version");
    header.Signatures = Number<std::uint32_t>(fields[2], "signature count");
    header.Level = Number<std::uint32_t>(fields[3], "functionality level");
    header.Md5 = fields[4];
    header.DigitalSignature = fields[5];
    header.Builder = fields[6];
    if (fields.size() > kRequiredFields)
        header.Stime = Number<std::uint64_t>(fields[7], "creation time");
    return header;
}

} // namespace cvd
