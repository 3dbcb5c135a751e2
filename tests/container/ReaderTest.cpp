// The container reader on containers made in ClamAV's layout, good and damaged.
#include "container/Error.h"
#include "container/Header.h"
#include "container/Reader.h"
#include "tests/support/ContainerMaker.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

using Members = std::vector<std::pair<std::string, std::string>>;

class Collector final : public cvd::MemberVisitor {
public:
    explicit Collector(std::function<bool(std::string_view)> aWants = {}) : wants_(std::move(aWants)) {}
    bool Wants(std::string_view aName) override { return !wants_ || wants_(aName); }
    void Member(std::string_view aName, std::span<const std::uint8_t> aContent) override
    {
        Got.emplace_back(std::string(aName), std::string(aContent.begin(), aContent.end()));
    }
    Members Got;

private:
    std::function<bool(std::string_view)> wants_;
};

cvd::Header Read(const std::vector<std::uint8_t>& aBytes, cvd::MemberVisitor& aVisitor, cvd::ReadOptions aOptions = {})
{
    unpack::MemorySource source(aBytes.data(), aBytes.size());
    return cvd::ReadContainer(source, SystemHashes(), aVisitor, aOptions);
}

std::string ErrorOf(const std::vector<std::uint8_t>& aBytes, cvd::ReadOptions aOptions = {})
{
    Collector collector;
    try {
        Read(aBytes, collector, aOptions);
    } catch (const cvd::Error& error) {
        return error.what();
    }
    return "";
}

cvd::ReadOptions Options(cvd::Kind aKind, bool aVerify = true, cvd::Limits aBounds = {})
{
    cvd::ReadOptions options;
    options.Type = aKind;
    options.Verify = aVerify;
    options.Bounds = aBounds;
    return options;
}

cvd::Limits Bounds(std::uint64_t aMembers, std::uint64_t aMemberSize)
{
    cvd::Limits limits;
    limits.Members = aMembers;
    limits.MemberSize = aMemberSize;
    return limits;
}

std::vector<std::uint8_t> Container(const Members& aMembers, bool aGzip = true, bool aWithInfo = true)
{
    ContainerSpec spec;
    spec.Members = aMembers;
    spec.Gzip = aGzip;
    spec.WithInfo = aWithInfo;
    return MakeContainer(spec, SystemHashes());
}

const Members kMembers = {
    {"COPYING", "licence text\n"},
    {"daily.hdb", "44d88612fea8a8f36de82e1278abb02f:68:Eicar-Test-Signature\n"},
    {"daily.ldb", "Some.Logical;Target:0;0;414243\n"},
    {"daily.ign2", "Body.Dropped\n"},
};

TEST(ContainerReaderTest, HandsWantedMembersInTarOrderWithTheHeaderFields)
{
    for (const bool gzip : {true, false}) {
        const std::vector<std::uint8_t> bytes = Container(kMembers, gzip);
        Collector collector([](std::string_view aName) { return aName != "daily.ldb"; });
        const cvd::Header header = Read(bytes, collector);
        EXPECT_EQ(header.Time, "14 Nov 2023 22-13 +0000");
        EXPECT_EQ(header.Version, 27000u);
        EXPECT_EQ(header.Signatures, 4u);
        EXPECT_EQ(header.Level, 90u);
        EXPECT_EQ(header.DigitalSignature, "X");
        EXPECT_EQ(header.Builder, "tests");
        EXPECT_EQ(header.Stime, 1700000000u);
        ASSERT_EQ(collector.Got.size(), 4u) << gzip;
        EXPECT_EQ(collector.Got[0], kMembers[0]);
        EXPECT_EQ(collector.Got[1].first, "test.info");
        EXPECT_EQ(collector.Got[2], kMembers[1]);
        EXPECT_EQ(collector.Got[3], kMembers[3]);
    }
}

// ClamAV checks a .cld by its .info list only: its header's MD5 belongs to the .cvd it came from.
TEST(ContainerReaderTest, ChecksTheHeaderMd5OfACvdAndTheInfoListOfBoth)
{
    std::vector<std::uint8_t> plain = Container(kMembers, false);
    std::vector<std::uint8_t> staleMd5 = plain;
    staleMd5[50] = staleMd5[50] == 'a' ? 'b' : 'a'; // within the MD5 field
    const std::string md5Error = ErrorOf(staleMd5);
    EXPECT_NE(md5Error.find("MD5"), std::string::npos) << md5Error;
    EXPECT_EQ(ErrorOf(staleMd5, Options(cvd::Kind::Cld)), "");

    // One byte of daily.hdb's content changed in the plain tar: the .info list catches it.
    const std::string hdb = kMembers[1].second;
    auto at = std::search(plain.begin(), plain.end(), hdb.begin(), hdb.end());
    ASSERT_NE(at, plain.end());
    *at = '5';
    const std::string infoError = ErrorOf(plain, Options(cvd::Kind::Cld));
    EXPECT_NE(infoError.find("daily.hdb does not match its SHA-256 in .info"), std::string::npos) << infoError;
    EXPECT_EQ(ErrorOf(plain, Options(cvd::Kind::Cld, false)), "");
}

TEST(ContainerReaderTest, RefusesMalformedContainersWithAClearError)
{
    std::vector<std::uint8_t> good = Container(kMembers);
    const auto withHeader = [&](std::string aHeader) {
        aHeader.resize(512, ' ');
        std::vector<std::uint8_t> bytes = good;
        std::copy(aHeader.begin(), aHeader.end(), bytes.begin());
        return bytes;
    };
    const auto damagedTail = [&] {
        std::vector<std::uint8_t> bytes = good;
        bytes[bytes.size() - 20] ^= 0xff;
        return bytes;
    };
    const std::vector<std::uint8_t> truncated(good.begin(), good.begin() + 600);
    const struct {
        const char* What;
        std::vector<std::uint8_t> Bytes;
        cvd::ReadOptions Options;
        const char* Error;
    } cases[] = {
        {"short", std::vector<std::uint8_t>(good.begin(), good.begin() + 100), {}, "shorter than its 512-byte header"},
        {"no magic", withHeader("ClamAV-VBD:x:1:2:3:m:d:b:4"), {}, "not a ClamAV database container"},
        {"fields missing", withHeader("ClamAV-VDB:time:1:2:3:md5"), {}, "fields missing"},
        {"bad version", withHeader("ClamAV-VDB:time:1x:2:3:m:d:b"), {}, "invalid version"},
        {"bad level", withHeader("ClamAV-VDB:time:1:2:-3:m:d:b"), {}, "invalid functionality level"},
        {"control bytes", withHeader(std::string("ClamAV-VDB:t\x01:1:2:3:m:d:b")), {}, "unexpected characters"},
        {"damaged gzip", damagedTail(), Options(cvd::Kind::Cvd, false), "damaged container"},
        {"truncated", truncated, Options(cvd::Kind::Cvd, false), "damaged container"},
        {"too many", good, Options(cvd::Kind::Cvd, true, Bounds(3, 1u << 20)), "more than 3 members"},
        {"too large", good, Options(cvd::Kind::Cvd, true, Bounds(100, 40)), "daily.hdb is larger than 40 bytes"},
        {"no .info", Container(kMembers, true, false), {}, "no .info member"},
        {"a path", Container({{"COPYING", ""}, {"sub/daily.hdb", "x"}}), {}, "has a path"},
    };
    for (const auto& c : cases)
        EXPECT_NE(ErrorOf(c.Bytes, c.Options).find(c.Error), std::string::npos) << c.What << ": " << ErrorOf(c.Bytes, c.Options);
}

TEST(ContainerReaderTest, RefusesMembersTheInfoListDoesNotVouchFor)
{
    // Made without a list, then given one that lists only some members or disagrees with the header.
    const auto withInfo = [](const std::string& aInfo) {
        Members members = kMembers;
        members.insert(members.begin() + 1, {"main.info", aInfo});
        return Container(members, true, false);
    };
    const std::string head = "ClamAV-VDB:14 Nov 2023 22-13 +0000:27000:4:90:X:X:tests:1700000000\n";
    EXPECT_NE(ErrorOf(withInfo(head + "DSIG:X\n")).find("daily.hdb is not listed in .info"), std::string::npos);
    const std::string otherHead = "ClamAV-VDB:14 Nov 2023 22-13 +0000:27001:4:90:X:X:tests:1700000000\n";
    EXPECT_NE(ErrorOf(withInfo(otherHead)).find("does not match the .info member's"), std::string::npos);
    EXPECT_NE(ErrorOf(withInfo(head + "daily.hdb:12\n")).find(".info: malformed line 2"), std::string::npos);

    // A plain tar cut at a member's start still reads as complete: the list tells.
    Members withLast = kMembers;
    withLast.push_back({"last.ndb", "Body.Last:0:*:414243\n"});
    std::vector<std::uint8_t> cut = Container(withLast, false);
    const std::string last = "last.ndb";
    const auto lastHeader = std::search(cut.begin() + 512, cut.end(), last.begin(), last.end());
    const auto tarAt = std::search(lastHeader + 1, cut.end(), last.begin(), last.end()); // past .info's mention
    cut.resize(static_cast<std::size_t>(tarAt - cut.begin()));
    EXPECT_NE(ErrorOf(cut, Options(cvd::Kind::Cld)).find("last.ndb is listed in .info but missing"), std::string::npos)
        << ErrorOf(cut, Options(cvd::Kind::Cld));
}

TEST(ContainerReaderTest, KindFromFileName)
{
    cvd::Kind kind{};
    EXPECT_TRUE(cvd::KindFromFileName("main.CVD", kind));
    EXPECT_EQ(kind, cvd::Kind::Cvd);
    EXPECT_TRUE(cvd::KindFromFileName("C:\\db\\daily.cld", kind));
    EXPECT_EQ(kind, cvd::Kind::Cld);
    EXPECT_FALSE(cvd::KindFromFileName("daily.hdb", kind));
    EXPECT_FALSE(cvd::KindFromFileName("cvd", kind));
}

} // namespace
