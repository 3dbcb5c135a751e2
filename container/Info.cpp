// Parsing a container's .info member.
#include "container/Info.h"

#include "container/Error.h"

#include <charconv>

namespace cvd {

namespace {

// Numbered lines without their line ends.
class Lines {
public:
    explicit Lines(std::string_view aText) : rest_(aText) {}

    bool Next(std::string_view& aLine)
    {
        if (rest_.empty())
            return false;
        const std::size_t end = rest_.find('\n');
        aLine = rest_.substr(0, end);
        rest_ = end == std::string_view::npos ? std::string_view() : rest_.substr(end + 1);
        if (aLine.ends_with('\r'))
            aLine.remove_suffix(1);
        ++number_;
        return true;
    }
    std::size_t Number() const { return number_; }

private:
    std::string_view rest_;
    std::size_t number_ = 0;
};

int HexDigit(char aDigit)
{
    if (aDigit >= '0' && aDigit <= '9')
        return aDigit - '0';
    if (aDigit >= 'a' && aDigit <= 'f')
        return aDigit - 'a' + 10;
    if (aDigit >= 'A' && aDigit <= 'F')
        return aDigit - 'A' + 10;
    return -1;
}

bool ParseDigest(std::string_view aHex, std::array<std::uint8_t, 32>& aDigest)
{
    if (aHex.size() != 64)
        return false;
    for (std::size_t i = 0; i < aDigest.size(); ++i) {
        const int high = HexDigit(aHex[2 * i]);
        const int low = HexDigit(aHex[2 * i + 1]);
        if (high < 0 || low < 0)
            return false;
        aDigest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

// "name:size:sha256"; false when it is not.
bool ParseEntry(std::string_view aLine, std::string_view& aName, InfoEntry& aEntry)
{
    const std::size_t first = aLine.find(':');
    const std::size_t second = first == std::string_view::npos ? first : aLine.find(':', first + 1);
    if (second == std::string_view::npos || first == 0)
        return false;
    aName = aLine.substr(0, first);
    const std::string_view size = aLine.substr(first + 1, second - first - 1);
    const auto [end, status] = std::from_chars(size.data(), size.data() + size.size(), aEntry.Size);
    return !size.empty() && status == std::errc() && end == size.data() + size.size()
        && ParseDigest(aLine.substr(second + 1), aEntry.Sha256);
}

} // namespace

Info ParseInfo(std::string_view aText)
{
    Lines lines(aText);
    std::string_view line;
    if (!lines.Next(line))
        throw Error(".info: empty");
    Info info;
    info.Head = ParseHeader(line);
    while (lines.Next(line)) {
        if (line.starts_with("DSIG:"))
            break;
        std::string_view name;
        InfoEntry entry;
        if (!ParseEntry(line, name, entry))
            throw Error(".info: malformed line " + std::to_string(lines.Number()));
        if (!info.Members.emplace(std::string(name), entry).second)
            throw Error(".info: member listed twice on line " + std::to_string(lines.Number()));
    }
    return info;
}

bool IsInfoName(std::string_view aName)
{
    constexpr std::string_view kSuffix = ".info";
    if (aName.size() < kSuffix.size())
        return false;
    const std::string_view tail = aName.substr(aName.size() - kSuffix.size());
    for (std::size_t i = 0; i < kSuffix.size(); ++i) {
        const char c = tail[i];
        if ((c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c) != kSuffix[i])
            return false;
    }
    return true;
}

} // namespace cvd
