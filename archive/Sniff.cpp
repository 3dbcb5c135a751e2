// The magic numbers of the formats and filters the walker enables.
#include "archive/Sniff.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

namespace unpack {

namespace {

using namespace std::string_view_literals;

constexpr std::array kZipMagics = {
    "PK\x03\x04"sv,                 // zip, jar, apk
    "PK\x05\x06"sv,                 // empty zip
    "PK\x07\x08"sv,                 // spanned zip
};
constexpr std::string_view k7zMagic = "7z\xBC\xAF\x27\x1C"sv;
constexpr std::string_view kRarMagic = "Rar!\x1A\x07"sv; // rar 4 and 5
constexpr std::string_view kCabMagic = "MSCF\x00\x00\x00\x00"sv;
constexpr std::array kFilterMagics = {
    "\x1F\x8B"sv,                   // gzip
    "BZh"sv,                        // bzip2
    "\xFD" "7zXZ\x00"sv,            // xz
};
constexpr std::size_t kTarMagicAt = 257;

bool StartsWith(const std::uint8_t* aData, std::size_t aCount, std::string_view aMagic) noexcept
{
    return aCount >= aMagic.size() && std::memcmp(aData, aMagic.data(), aMagic.size()) == 0;
}

} // namespace

Format FormatOf(const std::uint8_t* aHead, std::size_t aCount) noexcept
{
    for (std::string_view magic : kZipMagics) {
        if (StartsWith(aHead, aCount, magic))
            return Format::Zip;
    }
    if (StartsWith(aHead, aCount, k7zMagic))
        return Format::SevenZip;
    if (StartsWith(aHead, aCount, kRarMagic))
        return Format::Rar;
    if (StartsWith(aHead, aCount, kCabMagic))
        return Format::Cab;
    return Format::Other;
}

Sniffed SniffHead(const std::uint8_t* aHead, std::size_t aCount) noexcept
{
    if (FormatOf(aHead, aCount) != Format::Other)
        return Sniffed::Yes;
    for (std::string_view magic : kFilterMagics) {
        if (StartsWith(aHead, aCount, magic))
            return Sniffed::Yes;
    }
    if (aCount > kTarMagicAt && StartsWith(aHead + kTarMagicAt, aCount - kTarMagicAt, "ustar"sv))
        return Sniffed::Yes;
    if (StartsWith(aHead, aCount, "MZ"sv))
        return Sniffed::Program;
    return Sniffed::No;
}

bool TailHasZipDirectory(const std::uint8_t* aTail, std::size_t aCount) noexcept
{
    constexpr std::string_view kEnd = "PK\x05\x06"sv;
    return std::search(aTail, aTail + aCount, kEnd.begin(), kEnd.end()) != aTail + aCount;
}

bool MayBeArchive(const std::uint8_t* aData, std::size_t aSize) noexcept
{
    switch (SniffHead(aData, std::min(aSize, kSniffHead))) {
    case Sniffed::Yes:
        return true;
    case Sniffed::Program: {
        const std::size_t tail = std::min(aSize, kSniffTail);
        return TailHasZipDirectory(aData + aSize - tail, tail);
    }
    case Sniffed::No:
        break;
    }
    return false;
}

} // namespace unpack
