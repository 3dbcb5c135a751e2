#include "tests/detect/DetectTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

namespace detect {
namespace {

using test::PayloadOf;

constexpr std::size_t PaddedLength = 16777200;
constexpr std::size_t LimitLength = 50331632;

// Header fields (docs/signature-format.md).
constexpr std::size_t VersionAt = 16, Md5CountAt = 24, Sha256CountAt = 28, BodyCountAt = 32, Sha1CountAt = 36,
                      BodyLengthAt = 40,
                      NamesLengthAt = 48, ReservedAt = 56;

void Put32(std::vector<std::uint8_t>& aPayload, std::size_t aAt, std::uint32_t aValue) {
    for (int i = 0; i < 4; ++i) aPayload[aAt + i] = static_cast<std::uint8_t>(aValue >> (8 * i));
}

std::uint32_t Get32(const std::vector<std::uint8_t>& aPayload, std::size_t aAt) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = value << 8 | aPayload[aAt + i];
    return value;
}

std::string LoadError(const std::vector<std::uint8_t>& aPayload) {
    try {
        LoadDatabase(aPayload.data(), aPayload.size());
    } catch (const UnsupportedVersionError& error) {
        return std::string("version ") + std::to_string(error.Version()) + ": " + error.what();
    } catch (const DatabaseError& error) {
        return error.what();
    }
    return "loaded";
}

const std::string Md5A(32, 'a'), Md5B(32, 'b'), Sha(64, 'c'), Sha1(40, 'd');

std::vector<std::uint8_t> Sample() {
    return PayloadOf({{SignatureFileKind::Md5, Md5B + ":20:Second"},
                      {SignatureFileKind::Md5, Md5A + ":*:Third"},
                      {SignatureFileKind::Md5, Md5A + ":10:First"},
                      {SignatureFileKind::Sha, Sha + ":5:Sha.One"},
                      {SignatureFileKind::Sha, Sha1 + ":*:Sha1.One"},
                      {SignatureFileKind::Body, "Body.One:0:*:414243"},
                      {SignatureFileKind::Body, "Body.Two:1:EOF-4,2:414243??44*454647"}});
}

TEST(Payload, RoundTripsCountsAndPadsToTheFixedLength) {
    const std::vector<std::uint8_t> payload = Sample();
    ASSERT_EQ(payload.size(), PaddedLength);
    EXPECT_TRUE(HasHeader(payload.data(), payload.size()));
    const PayloadInfo info = InspectPayload(payload.data(), payload.size());
    EXPECT_TRUE(info.Ours);
    EXPECT_EQ(info.Version, 1u);
    EXPECT_EQ(info.Counts.Md5, 3u);
    EXPECT_EQ(info.Counts.Sha1, 1u);
    EXPECT_EQ(info.Counts.Sha256, 1u);
    EXPECT_EQ(info.Counts.Body, 2u);
    const auto database = LoadDatabase(payload.data(), payload.size());
    EXPECT_EQ(database->Counts().Total(), 7u);
    EXPECT_EQ(database->Counts().Sha1, 1u);
}

TEST(Payload, TellsOpaquePayloadsApart) {
    const std::vector<std::uint8_t> zeros(PaddedLength, 0);
    std::vector<std::uint8_t> almost = Sample();
    almost[3] ^= 1;
    for (const std::vector<std::uint8_t>* payload : {&zeros, static_cast<const std::vector<std::uint8_t>*>(&almost)}) {
        EXPECT_FALSE(HasHeader(payload->data(), payload->size()));
        EXPECT_FALSE(InspectPayload(payload->data(), payload->size()).Ours);
        EXPECT_EQ(LoadError(*payload), "Invalid signature database: no header");
    }
    EXPECT_FALSE(HasHeader(Sample().data(), 15));
}

TEST(Payload, RefusesANewerVersionWithItsOwnError) {
    std::vector<std::uint8_t> payload = Sample();
    Put32(payload, VersionAt, 7);
    EXPECT_EQ(LoadError(payload), "version 7: Unsupported signature database version 7");
    Put32(payload, VersionAt, 0);
    EXPECT_EQ(LoadError(payload), "Invalid signature database: version 0");
}

TEST(Payload, RefusesEveryMalformedPayload) {
    const std::vector<std::uint8_t> good = Sample();
    const std::size_t names = good.size() - 1; // a byte past the content, inside the padding
    const std::uint32_t bodyLength = Get32(good, BodyLengthAt);
    const std::size_t md5At = 64, shaAt = md5At + 3 * 28, bodyAt = shaAt + 44 + 32, namesAt = bodyAt + bodyLength;
    const struct {
        const char* What;
        std::function<void(std::vector<std::uint8_t>&)> Damage;
        const char* Error;
    } cases[] = {
        {"truncated header", [](auto& p) { p.resize(40); }, "truncated header"},
        {"truncated sections", [](auto& p) { p.resize(100); }, "sections exceed the payload"},
        {"too long", [](auto& p) { p.resize(LimitLength + 1); }, "payload larger than 50331632 bytes"},
        {"reserved field", [](auto& p) { p[ReservedAt] = 1; }, "reserved header fields are not zero"},
        {"header length", [](auto& p) { p[20] = 65; }, "wrong header length"},
        {"count too high", [](auto& p) { Put32(p, Md5CountAt, 0x7fffffff); }, "sections exceed the payload"},
        {"names too long", [](auto& p) { Put32(p, NamesLengthAt, 0x7fffffff); },
         "section lengths exceed the payload"},
        {"non-zero padding", [names](auto& p) { p[names] = 1; }, "padding is not zero"},
        {"body count low", [](auto& p) { Put32(p, BodyCountAt, 1); }, "body section longer than its records"},
        {"sha count low", [](auto& p) { Put32(p, Sha256CountAt, 0); }, "padding is not zero"},
        {"sha-1 count low", [](auto& p) { Put32(p, Sha1CountAt, 0); }, "padding is not zero"},
        {"record past section", [bodyAt](auto& p) { Put32(p, bodyAt, 5000); }, "body record runs past its section"},
        {"bad pattern", [bodyAt](auto& p) { p[bodyAt + 4 + 13] = 'x'; },
         "body signature 1: invalid character in hex signature"},
        {"bad body name", [bodyAt](auto& p) { p[bodyAt + 4] = ':'; }, "body signature 1: empty signature name"},
        {"name offset", [md5At](auto& p) { Put32(p, md5At + 24, 3); }, "hash record names no name"},
        {"name offset outside", [md5At](auto& p) { Put32(p, md5At + 24, 0x10000000); }, "hash record names no name"},
        {"name length", [namesAt](auto& p) { p[namesAt] = 200; }, "name runs past the names section"},
        {"name characters", [namesAt](auto& p) { p[namesAt + 1] = ':'; }, "invalid signature name"},
        {"empty name", [namesAt](auto& p) { p[namesAt] = 0; }, "invalid signature name"},
        {"order", [md5At](auto& p) { p[md5At + 16] = 0xff; }, "hash records out of order"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> payload = good;
        c.Damage(payload);
        EXPECT_EQ(LoadError(payload), std::string("Invalid signature database: ") + c.Error) << c.What;
    }
}

TEST(Payload, BoundsCompiledMemoryByThePayloadSize) {
    DatabaseBuilder builder;
    std::string hex = "414243";
    for (int i = 0; i < 63; ++i) hex += "*444546";
    ASSERT_EQ(builder.AddLine(SignatureFileKind::Body, "Many.Parts:0:*:" + hex).Problem.Status, ParseStatus::Ok);
    std::vector<std::uint8_t> payload = builder.Build();
    EXPECT_EQ(LoadError(payload), "loaded");
    payload.resize(builder.ContentLength()); // the same content without padding: too dense
    EXPECT_EQ(LoadError(payload),
              "Invalid signature database: body signatures need more than 16 times the payload's size in memory");
}

// 200,000 short body signatures fit the compiled-memory budget of the padded payload.
TEST(Payload, TwoHundredThousandShortBodySignaturesFitTheBudget) {
    DatabaseBuilder builder;
    std::string text;
    for (int i = 0; i < 200000; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "S%d:0:*:%08x\n", i, static_cast<unsigned>(i) * 2654435761u);
        text += line;
    }
    ASSERT_EQ(builder.AddText(SignatureFileKind::Body, text).Added, 200000u);
    const std::vector<std::uint8_t> payload = builder.Build();
    EXPECT_EQ(LoadError(payload), "loaded");
}

TEST(Payload, FitsAMillionHashSignaturesWithTwentyCharacterNames) {
    DatabaseBuilder builder;
    for (int i = 0; i < 1000; ++i) {
        char line[80];
        std::snprintf(line, sizeof line, "%032x:%d:Name.Of.Twenty.%05d", i, i + 1, i);
        ASSERT_EQ(builder.AddLine(SignatureFileKind::Md5, line).Problem.Status, ParseStatus::Ok);
    }
    // The payload grows by a fixed amount per signature: a million fit in the limit.
    const std::uint64_t perSignature = (builder.ContentLength() - 64) / 1000;
    EXPECT_EQ(perSignature, 49u);
    EXPECT_LE(64 + perSignature * 1000000, LimitLength);
}

TEST(Payload, BuilderRefusesADatabaseOverTheLimit) {
    DatabaseBuilder builder;
    const std::string name(255, 'N');
    std::string text;
    for (int i = 0; i < 177300; ++i) {
        char digest[33];
        std::snprintf(digest, sizeof digest, "%032x", i);
        text += std::string(digest) + ":1:" + name + "\n";
    }
    EXPECT_EQ(builder.AddText(SignatureFileKind::Md5, text).Added, 177300u);
    ASSERT_GT(builder.ContentLength(), LimitLength);
    EXPECT_THROW(builder.Build(), DatabaseTooLargeError);
}

TEST(Payload, AddTextReportsRefusedLinesByNumber) {
    DatabaseBuilder builder;
    const AddReport report = builder.AddText(SignatureFileKind::Body,
                                             "\xEF\xBB\xBF# comment\r\nA:0:*:414243\r\n\r\nB:0:*:4142\nC:0:EP+1:414243\nD:0:*:444546");
    EXPECT_EQ(report.Added, 2u);
    ASSERT_EQ(report.Problems.size(), 2u);
    EXPECT_EQ(report.Problems[0].Line, 4u);
    EXPECT_EQ(report.Problems[0].Problem.Status, ParseStatus::SyntaxError);
    EXPECT_EQ(report.Problems[1].Line, 5u);
    EXPECT_EQ(report.Problems[1].Problem.Status, ParseStatus::Unsupported);
    EXPECT_EQ(builder.Counts().Body, 2u);
}

TEST(Payload, IgnoreListsDropNamedSignaturesAndLevelSkipsAreCounted) {
    DatabaseBuilder builder;
    builder.AddIgnoreList("\xEF\xBB\xBF# dropped\r\nBody.Dropped\r\nHash.Dropped:9f2a\n\n");
    const AddReport bodies = builder.AddText(SignatureFileKind::Body,
                                             "Body.Kept:0:*:414243\nBody.Dropped:0:*:444546\nBody.Later:0:*:474849:220\n");
    const AddReport hashes = builder.AddText(SignatureFileKind::Md5, std::string(32, 'a') + ":5:Hash.Dropped\n" +
                                                                         std::string(32, 'b') + ":5:Hash.Kept\n");
    EXPECT_EQ(bodies.Added, 1u);
    EXPECT_EQ(bodies.Ignored, 1u);
    EXPECT_EQ(bodies.LevelSkipped, 1u);
    EXPECT_EQ(hashes.Added, 1u);
    EXPECT_EQ(hashes.Ignored, 1u);
    EXPECT_TRUE(bodies.Problems.empty() && hashes.Problems.empty());
    EXPECT_EQ(builder.Counts().Total(), 2u);
}

} // namespace
} // namespace detect
