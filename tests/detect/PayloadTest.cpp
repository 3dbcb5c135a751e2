#include "tests/detect/DetectTestSupport.h"

#include "detect/PayloadFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <functional>
#include <tuple>

namespace detect {
namespace {

using test::PayloadOf;

constexpr std::size_t PaddedLength = 16777200;
constexpr std::size_t LimitLength = 50331632;

// Header fields (docs/signature-format.md).
constexpr std::size_t VersionAt = 16, Md5CountAt = 24, Sha256CountAt = 28, BodyCountAt = 32, Sha1CountAt = 36,
                      BodyLengthAt = 40,
                      NamesLengthAt = 48, ReservedAt = 56;
constexpr std::size_t NameCountAt = 56, AllowMd5CountAt = 60, AllowSha256CountAt = 64, NamesPerBlockAt = 68;

void Put32(std::vector<std::uint8_t>& aPayload, std::size_t aAt, std::uint32_t aValue) {
    for (int i = 0; i < 4; ++i) aPayload[aAt + i] = static_cast<std::uint8_t>(aValue >> (8 * i));
}

void Put64(std::vector<std::uint8_t>& aPayload, std::size_t aAt, std::uint64_t aValue) {
    for (int i = 0; i < 8; ++i) aPayload[aAt + i] = static_cast<std::uint8_t>(aValue >> (8 * i));
}

void Append(std::vector<std::uint8_t>& aOut, std::uint64_t aValue, int aBytes) {
    for (int i = 0; i < aBytes; ++i) aOut.push_back(static_cast<std::uint8_t>(aValue >> (8 * i)));
}

// A version 1 payload written by hand, as the writer of that version did: hash records sorted by
// (size, digest) naming length-prefixed names by offset, the names in line order, zero padding.
std::vector<std::uint8_t> Version1PayloadOf(const std::vector<std::pair<SignatureFileKind, std::string>>& aLines) {
    std::array<std::vector<std::pair<HashSignature, std::uint32_t>>, HashAlgorithmCount> tables;
    std::vector<std::uint8_t> names, bodies;
    std::uint32_t bodyCount = 0;
    for (const auto& [kind, line] : aLines) {
        ParsedLine parsed = ParseLine(kind, line);
        if (auto* hash = std::get_if<HashSignature>(&parsed.Signature)) {
            tables[static_cast<std::size_t>(hash->Algorithm)].push_back({*hash, static_cast<std::uint32_t>(names.size())});
            names.push_back(static_cast<std::uint8_t>(hash->Name.size()));
            names.insert(names.end(), hash->Name.begin(), hash->Name.end());
        } else {
            Append(bodies, parsed.Canonical.size(), 4);
            bodies.insert(bodies.end(), parsed.Canonical.begin(), parsed.Canonical.end());
            ++bodyCount;
        }
    }
    std::vector<std::uint8_t> payload(format::Magic, format::Magic + 16);
    Append(payload, 1, 4);
    Append(payload, 64, 4);
    for (std::size_t table : {0, 1}) Append(payload, tables[table].size(), 4);
    Append(payload, bodyCount, 4);
    Append(payload, tables[2].size(), 4);
    Append(payload, bodies.size(), 8);
    Append(payload, names.size(), 8);
    Append(payload, 0, 8);
    for (auto& table : tables) {
        std::stable_sort(table.begin(), table.end(), [](const auto& a, const auto& b) {
            const std::uint64_t sa = a.first.AnySize ? ~0ULL : a.first.Size, sb = b.first.AnySize ? ~0ULL : b.first.Size;
            return sa != sb ? sa < sb : a.first.Digest < b.first.Digest;
        });
        for (const auto& [hash, name] : table) {
            payload.insert(payload.end(), hash.Digest.begin(), hash.Digest.begin() + DigestLength(hash.Algorithm));
            Append(payload, hash.AnySize ? ~0ULL : hash.Size, 8);
            Append(payload, name, 4);
        }
    }
    payload.insert(payload.end(), bodies.begin(), bodies.end());
    payload.insert(payload.end(), names.begin(), names.end());
    payload.resize(PaddedLength, 0);
    return payload;
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

const std::vector<std::pair<SignatureFileKind, std::string>> SampleLines = {
    {SignatureFileKind::Md5, Md5B + ":20:Second"},
    {SignatureFileKind::Md5, Md5A + ":*:Third"},
    {SignatureFileKind::Md5, Md5A + ":10:First"},
    {SignatureFileKind::Sha, Sha + ":5:Sha.One"},
    {SignatureFileKind::Sha, Sha1 + ":*:Sha1.One"},
    {SignatureFileKind::Body, "Body.One:0:*:414243"},
    {SignatureFileKind::Body, "Body.Two:1:EOF-4,2:414243??44*454647"}};

std::vector<std::uint8_t> Sample() { return Version1PayloadOf(SampleLines); }

std::vector<std::uint8_t> QdbOf(const std::vector<std::pair<SignatureFileKind, std::string>>& aLines) {
    DatabaseBuilder builder;
    for (const auto& [kind, line] : aLines) EXPECT_EQ(builder.AddLine(kind, line).Problem.Status, ParseStatus::Ok) << line;
    return builder.BuildQdb();
}

TEST(Payload, RoundTripsCountsInBothLayouts) {
    DatabaseBuilder builder;
    for (const auto& [kind, line] : SampleLines) builder.AddLine(kind, line);
    builder.AddLine(SignatureFileKind::Md5Allow, Md5A + ":7:Allowed");
    builder.AddLine(SignatureFileKind::Sha256Allow, Sha + ":*:Allowed");
    const std::vector<std::uint8_t> padded = builder.Build(), qdb = builder.BuildQdb();
    ASSERT_EQ(padded.size(), PaddedLength);
    ASSERT_EQ(qdb.size(), builder.ContentLength());
    EXPECT_TRUE(std::equal(qdb.begin(), qdb.end(), padded.begin()));
    const PayloadInfo info = InspectPayload(qdb.data(), qdb.size());
    EXPECT_TRUE(info.Ours);
    EXPECT_EQ(info.Version, 2u);
    const SignatureCounts expected{.Md5 = 3, .Sha1 = 1, .Sha256 = 1, .Body = 2, .AllowMd5 = 1, .AllowSha256 = 1};
    for (const SignatureCounts& counts : {info.Counts, builder.Counts(), LoadDatabase(qdb.data(), qdb.size())->Counts(),
                                          LoadDatabase(padded.data(), padded.size())->Counts()}) {
        EXPECT_EQ(std::tie(counts.Md5, counts.Sha1, counts.Sha256, counts.Body, counts.AllowMd5, counts.AllowSha256),
                  std::tie(expected.Md5, expected.Sha1, expected.Sha256, expected.Body, expected.AllowMd5,
                           expected.AllowSha256));
    }
    EXPECT_EQ(expected.Total(), 7u);
}

// A payload of the first version still loads and matches as it did.
TEST(Payload, ReadsVersionOne) {
    const std::string object = "hash me";
    const std::vector<std::uint8_t> payload =
        Version1PayloadOf({{SignatureFileKind::Md5, test::FakeDigestHex(HashAlgorithm::Md5, object) + ":7:Late.Line"},
                           {SignatureFileKind::Md5, Md5A + ":7:Other"},
                           {SignatureFileKind::Md5, test::FakeDigestHex(HashAlgorithm::Md5, object) + ":*:Later.Line"},
                           {SignatureFileKind::Body, "Body.Me:0:*:68617368"}});
    EXPECT_EQ(InspectPayload(payload.data(), payload.size()).Version, 1u);
    const auto database = LoadDatabase(payload.data(), payload.size());
    EXPECT_EQ(database->Counts().Total(), 4u);
    const std::vector<test::Found> expected = {{"Body.Me", 4}, {"Late.Line", 7}, {"Later.Line", 7}};
    EXPECT_EQ(test::Scan(*database, object, 3), expected);
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
    std::vector<std::uint8_t> qdb = QdbOf(SampleLines);
    Put32(qdb, VersionAt, 3);
    EXPECT_EQ(LoadError(qdb), "version 3: Unsupported signature database version 3");
}

// The second version's checks at load cover its header and body records only.
TEST(Payload, RefusesMalformedVersionTwoPayloads) {
    const std::vector<std::uint8_t> good = QdbOf(SampleLines);
    const std::size_t bodyAt = 128 + 3 * 28 + 44 + 32;
    const struct {
        const char* What;
        std::function<void(std::vector<std::uint8_t>&)> Damage;
        const char* Error;
    } cases[] = {
        {"truncated header", [](auto& p) { p.resize(100); }, "truncated header"},
        {"header length", [](auto& p) { p[20] = 64; }, "wrong header length"},
        {"reserved field", [](auto& p) { p[127] = 1; }, "reserved header fields are not zero"},
        {"block size", [](auto& p) { Put32(p, NamesPerBlockAt, 8); }, "unknown name block size"},
        {"hash count", [](auto& p) { Put32(p, Sha1CountAt, 0xffffffff); }, "hash records exceed the payload"},
        {"allow count", [](auto& p) { Put32(p, AllowSha256CountAt, 0xffffffff); }, "allow lists exceed the payload"},
        {"allow count low", [](auto& p) { Put32(p, AllowMd5CountAt, 1); }, "names exceed the payload"},
        {"body length", [](auto& p) { Put64(p, BodyLengthAt, ~0ULL); }, "body records exceed the payload"},
        {"names length", [](auto& p) { Put64(p, NamesLengthAt, ~0ULL - 100); }, "names exceed the payload"},
        {"name count", [](auto& p) { Put32(p, NameCountAt, 0xffffffff); }, "name blocks exceed the names section"},
        {"padding", [](auto& p) { p.push_back(1); }, "padding is not zero"},
        {"bad pattern", [bodyAt](auto& p) { p[bodyAt + 4 + 13] = 'x'; },
         "body signature 1: invalid character in hex signature"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> payload = good;
        c.Damage(payload);
        EXPECT_EQ(LoadError(payload), std::string("Invalid signature database: ") + c.Error) << c.What;
    }
    // Cut anywhere, the payload is refused: no part of it is taken.
    for (std::size_t length = 0; length < good.size(); ++length)
        EXPECT_NE(LoadError({good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length)}), "loaded") << length;
}

// Names are checked when a signature hits: a bad index, block offset or suffix gives a fixed
// placeholder, never a read outside the payload.
TEST(Payload, BadNamesAtHitTimeGiveThePlaceholder) {
    const std::string object = "named";
    const std::string digest = test::FakeDigestHex(HashAlgorithm::Md5, object);
    std::vector<std::pair<SignatureFileKind, std::string>> lines;
    for (int i = 0; i < 20; ++i) lines.push_back({SignatureFileKind::Md5, Md5A + ":1:Win.Trojan.Agent-" + std::to_string(i)});
    lines.push_back({SignatureFileKind::Md5, digest + ":5:Win.Trojan.Agent-20"});
    const std::vector<std::uint8_t> good = QdbOf(lines);
    const std::size_t record = 128 + 20 * 28, namesAt = good.size() - Get32(good, NamesLengthAt);
    const std::size_t secondBlock = namesAt + 16 + Get32(good, namesAt + 8);
    const struct {
        const char* What;
        std::function<void(std::vector<std::uint8_t>&)> Damage;
        const char* Name;
    } cases[] = {
        {"intact", [](auto&) {}, "Win.Trojan.Agent-20"},
        {"index past the count", [record](auto& p) { Put32(p, record + 24, 21); }, "Invalid.Name"},
        {"index far out", [record](auto& p) { Put32(p, record + 24, 0xffffffff); }, "Invalid.Name"},
        {"other index", [record](auto& p) { Put32(p, record + 24, 19); }, "Win.Trojan.Agent-19"},
        {"block offset", [namesAt](auto& p) { Put64(p, namesAt + 8, ~0ULL); }, "Invalid.Name"},
        {"block offset at the end", [namesAt, &good](auto& p) { Put64(p, namesAt + 8, good.size() - namesAt - 16); },
         "Invalid.Name"},
        {"first length", [secondBlock](auto& p) { p[secondBlock] = 0xff; }, "Invalid.Name"},
        {"shared prefix", [secondBlock](auto& p) { p[secondBlock + 20] = 0xff; }, "Invalid.Name"},
        {"suffix length", [secondBlock](auto& p) { p[secondBlock + 21] = 0xff; }, "Invalid.Name"},
        {"character", [&good](auto& p) { p[good.size() - 1] = ' '; }, "Invalid.Name"},
    };
    for (const auto& c : cases) {
        std::vector<std::uint8_t> payload = good;
        c.Damage(payload);
        const auto database = LoadDatabase(payload.data(), payload.size());
        const std::vector<test::Found> expected = {{c.Name, 5}};
        EXPECT_EQ(test::Scan(*database, object, 0), expected) << c.What;
    }
}

TEST(NameTable, DecodesEveryNameAcrossBlocks) {
    std::vector<std::string> owned;
    for (int i = 0; i < 40; ++i) owned.push_back("Win.Trojan.Agent-" + std::to_string(1000 - i * 7) + "-0");
    owned.push_back("A");
    owned.push_back(std::string(255, 'Z'));
    owned.push_back(std::string(254, 'Z') + "Y");
    const std::vector<std::string_view> names(owned.begin(), owned.end());
    const std::vector<std::uint8_t> section = NameTable::Encode(names);
    EXPECT_EQ(section.size(), NameTable::EncodedLength(names));
    const NameTable table = NameTable::Blocks(section.data(), section.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i) EXPECT_EQ(table.Name(static_cast<std::uint32_t>(i)), names[i]);
    EXPECT_EQ(table.Name(static_cast<std::uint32_t>(names.size())), "Invalid.Name");
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
    payload = builder.BuildQdb(); // the same content without padding: too dense
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
    // The payload grows by about a fixed amount per signature: a million fit in the limit.
    const std::uint64_t perSignature = (builder.ContentLength() - 128) / 1000;
    EXPECT_LE(perSignature, 40u);
    EXPECT_LE(128 + perSignature * 1000000, LimitLength);
}

// signature.dat's limit binds Build only: BuildQdb writes the same set whole.
TEST(Payload, BuilderRefusesADatabaseOverTheLimitOnlyForSignatureDat) {
    DatabaseBuilder builder;
    const std::string name(254, 'N');
    std::string text;
    for (int i = 0; i < 177300; ++i) {
        char digest[33];
        std::snprintf(digest, sizeof digest, "%032x", i);
        // Names differing in their first byte share no prefix.
        text += std::string(digest) + ":1:" + static_cast<char>('A' + i % 26) + name + "\n";
    }
    EXPECT_EQ(builder.AddText(SignatureFileKind::Md5, text).Added, 177300u);
    ASSERT_GT(builder.ContentLength(), LimitLength);
    EXPECT_THROW(builder.Build(), DatabaseTooLargeError);
    const std::vector<std::uint8_t> qdb = builder.BuildQdb();
    EXPECT_EQ(qdb.size(), builder.ContentLength());
    EXPECT_EQ(LoadError(qdb), "loaded");
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
