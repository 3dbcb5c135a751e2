#include "vault/ItemHeader.h"

#include <gtest/gtest.h>

namespace vault {
namespace {

ItemHeader Sample() {
    ItemHeader h;
    h.Path = u"\\\\?\\C:\\Users\\Tester\\Downloads\\caf\u00e9 \u4e2d.exe.";
    h.Threat = u"Eicar-Test-Signature";
    h.Kind = ThreatKind::PossibleThreat;
    h.QuarantineTime = 0x01DB'0102'0304'0506;
    h.Size = 68;
    for (std::size_t i = 0; i < h.Sha256.size(); ++i) h.Sha256[i] = static_cast<std::uint8_t>(i * 7);
    h.Attributes = 0x21;
    h.CreationTime = 1;
    h.LastAccessTime = 0xFFFF'FFFF'FFFF'FFFF;
    h.LastWriteTime = 3;
    h.Key.fill(0xA5);
    h.Nonce = {1, 2, 3, 4, 5, 6, 7, 8};
    return h;
}

ParsedHeader Parse(const std::vector<std::uint8_t>& aBytes, std::uint64_t aItemSize) {
    return ParseHeader(aBytes.data(), aBytes.size(), aItemSize);
}

TEST(ItemHeader, RoundTripsEveryField) {
    const ItemHeader header = Sample();
    const auto bytes = SerializeHeader(header);
    const auto parsed = Parse(bytes, bytes.size() + header.Size);
    ASSERT_EQ(parsed.Status, HeaderStatus::Ok);
    EXPECT_EQ(parsed.HeaderLength, bytes.size());
    EXPECT_EQ(parsed.Header, header);
}

TEST(ItemHeader, AsksForTheRestOfAShortRead) {
    const ItemHeader header = Sample();
    const auto bytes = SerializeHeader(header);
    const std::uint64_t itemSize = bytes.size() + header.Size;
    const auto first = ParseHeader(bytes.data(), 16, itemSize);
    EXPECT_EQ(first.Status, HeaderStatus::NeedMore);
    EXPECT_EQ(first.HeaderLength, kFixedHeaderLength);
    const auto second = ParseHeader(bytes.data(), kFixedHeaderLength, itemSize);
    EXPECT_EQ(second.Status, HeaderStatus::NeedMore);
    EXPECT_EQ(second.HeaderLength, bytes.size());
}

TEST(ItemHeader, RefusesDamagedHeaders) {
    const ItemHeader header = Sample();
    const auto good = SerializeHeader(header);
    const std::uint64_t itemSize = good.size() + header.Size;
    struct Case {
        const char* Name;
        std::size_t Offset;
        std::uint8_t Value;
    };
    const Case cases[] = {
        {"magic", 0, 'X'},
        {"version", 8, 2},
        {"kind", 10, 3},
        {"reserved", 11, 1},
        {"header length", 12, 0xFF},
        {"path length", 16, 0xFF},
        {"threat length above its bound", 22, 0x01},
        {"size", 32, 0x45},
    };
    for (const Case& c : cases) {
        auto bytes = good;
        bytes[c.Offset] = c.Value;
        EXPECT_EQ(Parse(bytes, itemSize).Status, HeaderStatus::Malformed) << c.Name;
    }
    // Huge lengths are refused from the fixed part alone, before anything is allocated.
    auto huge = good;
    for (std::size_t i = 12; i < 24; ++i) huge[i] = 0xFF;
    EXPECT_EQ(ParseHeader(huge.data(), kFixedHeaderLength, ~std::uint64_t{0}).Status, HeaderStatus::Malformed);
}

TEST(ItemHeader, RefusesAnItemWhoseSizeDisagrees) {
    const ItemHeader header = Sample();
    const auto bytes = SerializeHeader(header);
    for (std::uint64_t itemSize : {std::uint64_t{0}, std::uint64_t{100}, bytes.size() + header.Size - 1, bytes.size() + header.Size + 1})
        EXPECT_EQ(Parse(bytes, itemSize).Status, HeaderStatus::Malformed) << itemSize;
    // A file too short to hold even the fixed part.
    EXPECT_EQ(ParseHeader(bytes.data(), 10, 10).Status, HeaderStatus::Malformed);
}

TEST(ItemHeader, RefusesNulInsideTheNames) {
    ItemHeader header = Sample();
    header.Path[5] = u'\0';
    const auto bytes = SerializeHeader(header);
    EXPECT_EQ(Parse(bytes, bytes.size() + header.Size).Status, HeaderStatus::Malformed);
}

TEST(ItemHeader, WriterRefusesNamesOverTheBound) {
    ItemHeader header = Sample();
    header.Threat.assign(kMaxThreatLength + 1, u'x');
    EXPECT_THROW(SerializeHeader(header), std::length_error);
}

} // namespace
} // namespace vault
