#include "detect/PatternParser.h"
#include "detect/SignatureParser.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace detect {
namespace {

std::string Describe(const PatternElement& aElement) {
    char text[32];
    switch (aElement.Kind) {
    case PatternElement::Type::Gap: std::snprintf(text, sizeof text, "{%u-%u}", aElement.Min, aElement.Max); return text;
    case PatternElement::Type::Set: {
        std::string set = "(";
        for (int b = 0; b < 256; ++b) {
            if (aElement.Accepts(static_cast<std::uint8_t>(b))) {
                std::snprintf(text, sizeof text, "%s%02x", set.size() > 1 ? "|" : "", b);
                set += text;
            }
        }
        return set + ")";
    }
    case PatternElement::Type::Byte: break;
    }
    std::snprintf(text, sizeof text, "%02x", aElement.Value);
    std::string byte = text;
    if ((aElement.Mask & 0xF0) == 0) byte[0] = '?';
    if ((aElement.Mask & 0x0F) == 0) byte[1] = '?';
    return byte;
}

std::string Describe(const std::vector<PatternPart>& aParts) {
    std::string text;
    for (const PatternPart& part : aParts) {
        if (!text.empty()) text += " *" + std::to_string(part.GapMin) + " ";
        for (const PatternElement& element : part.Elements) text += Describe(element);
    }
    return text;
}

struct PatternCase {
    const char* Hex;
    const char* Parsed; // Describe() of the parts
};

TEST(PatternParser, AcceptsEveryWildcardOfTheSubset) {
    const PatternCase cases[] = {
        {"414243", "414243"},
        {"41424344454647", "41424344454647"},
        {"4142434?", "4142434?"},
        {"414243?4", "414243?4"},
        {"414243??", "414243??"},
        {"??414243", "??414243"},
        {"414243{3}44", "414243{3-3}44"},
        {"414243{-3}44", "414243{0-3}44"},
        {"414243{2-5}44", "414243{2-5}44"},
        {"414243{0-0}44", "414243{0-0}44"},
        {"414243*44", "414243 *0 44"},
        {"414243{7-}44", "414243 *7 44"},
        {"41(42|43|ff)434445", "41(42|43|ff)434445"},
        {"414243*(61|62)63*ff", "414243 *0 (61|62)63 *0 ff"},
        {"AABBCC", "aabbcc"},
    };
    for (const PatternCase& c : cases) {
        const PatternParse parse = ParsePattern(c.Hex);
        EXPECT_EQ(parse.Problem.Status, ParseStatus::Ok) << c.Hex << ": " << parse.Problem.Reason;
        EXPECT_EQ(Describe(parse.Parts), c.Parsed) << c.Hex;
    }
}

struct RefusalCase {
    const char* Text;
    ParseStatus Status;
    const char* Reason;
};

TEST(PatternParser, RefusesSyntaxErrorsAndFeaturesOutsideTheSubset) {
    const RefusalCase cases[] = {
        {"", ParseStatus::SyntaxError, "empty hex signature"},
        {"41424", ParseStatus::SyntaxError, "odd number of hex digits"},
        {"4142zz", ParseStatus::SyntaxError, "invalid character in hex signature"},
        {"4142", ParseStatus::SyntaxError, "hex signature needs at least 3 bytes"},
        {"41??", ParseStatus::SyntaxError, "hex signature needs at least 3 bytes"},
        // Shapes clamscan loads, outside this matcher's subset: never syntax errors.
        {"4142??4344", ParseStatus::Unsupported, "hex signatures without 3 fixed bytes in a row are not supported"},
        {"4142{1}4344", ParseStatus::Unsupported, "hex signatures without 3 fixed bytes in a row are not supported"},
        {"41424?4344", ParseStatus::Unsupported, "hex signatures without 3 fixed bytes in a row are not supported"},
        {"*414243", ParseStatus::Unsupported, "a hex signature starting with a gap is not supported"},
        {"{5}414243", ParseStatus::Unsupported, "a hex signature starting with a gap is not supported"},
        {"414243{5}", ParseStatus::Unsupported, "a hex signature ending with a gap is not supported"},
        {"414243{2-}", ParseStatus::Unsupported, "a hex signature ending with a gap is not supported"},
        {"414243*{5}44", ParseStatus::Unsupported, "consecutive gaps are not supported"},
        {"414243{2}{3}44", ParseStatus::Unsupported, "consecutive gaps are not supported"},
        {"414243{5-3}44", ParseStatus::Unsupported, "{n-m} gaps with n above m are not supported"},
        {"414243{-}44", ParseStatus::SyntaxError, "invalid {n-m} gap"},
        {"414243{x}44", ParseStatus::SyntaxError, "invalid {n} gap"},
        {"414243{2", ParseStatus::SyntaxError, "unclosed {"},
        {"414243(44|45", ParseStatus::SyntaxError, "unclosed ("},
        {"414243()", ParseStatus::SyntaxError, "invalid alternative"},
        {"414243(4|45)", ParseStatus::SyntaxError, "invalid alternative"},
        {"414243(4445|4647)", ParseStatus::Unsupported, "multi-byte alternatives are not supported"},
        {"414243(4?|45)", ParseStatus::Unsupported, "wildcards inside alternatives are not supported"},
        {"414243!(44|45)", ParseStatus::Unsupported, "negated alternatives are not supported"},
        {"414243[1-2]44", ParseStatus::Unsupported, "[n-m] byte anchors are not supported"},
        {"414243(B)", ParseStatus::Unsupported, "boundary markers (B), (L), (W) are not supported"},
        {"(L)414243", ParseStatus::Unsupported, "boundary markers (B), (L), (W) are not supported"},
        {"414243*(44|45)", ParseStatus::Unsupported, "a part between unbounded gaps needs a fixed byte"},
        {"414243{0-70000}44", ParseStatus::Unsupported, "a part spans more than 65536 bytes"},
    };
    for (const RefusalCase& c : cases) {
        const PatternParse parse = ParsePattern(c.Text);
        EXPECT_EQ(parse.Problem.Status, c.Status) << c.Text;
        EXPECT_EQ(parse.Problem.Reason, c.Reason) << c.Text;
        EXPECT_TRUE(parse.Parts.empty()) << c.Text;
    }
}

TEST(PatternParser, RefusesSignaturesBeyondTheSizeLimits) {
    std::string parts = "414243";
    for (std::size_t i = 0; i < MaxParts; ++i) parts += "*44";
    EXPECT_EQ(ParsePattern(parts).Problem.Reason, "more than 64 unbounded gaps");
    std::string elements = "414243";
    for (std::size_t i = 3; i < MaxElements; ++i) elements += "??";
    EXPECT_EQ(ParsePattern(elements).Problem.Status, ParseStatus::Ok);
    EXPECT_EQ(ParsePattern(elements + "41").Problem.Reason, "hex signature has more than 65536 elements");
}

constexpr const char* NameUnsupported = "signature names with spaces, non-ASCII or over 255 bytes are not supported";

TEST(SignatureParser, RefusesLinesWithReasons) {
    const std::string md5(32, 'a'), sha(64, 'b');
    const struct {
        SignatureFileKind Kind;
        std::string Line;
        ParseStatus Status;
        const char* Reason;
    } cases[] = {
        {SignatureFileKind::Md5, md5 + ":10", ParseStatus::SyntaxError, "expected Hash:Size:Name"},
        {SignatureFileKind::Md5, md5.substr(1) + ":10:N", ParseStatus::SyntaxError, "hash must be 32 hex digits"},
        {SignatureFileKind::Md5, std::string(1, 'g').append(31, 'a') + ":10:N", ParseStatus::SyntaxError, "hash must be 32 hex digits"},
        {SignatureFileKind::Md5, sha + ":10:N", ParseStatus::SyntaxError, "hash must be 32 hex digits"},
        {SignatureFileKind::Sha, md5 + ":10:N", ParseStatus::SyntaxError, "hash must be 40 or 64 hex digits"},
        {SignatureFileKind::Sha, std::string(41, 'c') + ":10:N", ParseStatus::SyntaxError, "hash must be 40 or 64 hex digits"},
        {SignatureFileKind::Md5Allow, sha + ":10:N", ParseStatus::SyntaxError, "hash must be 32 hex digits"},
        {SignatureFileKind::Sha256Allow, std::string(40, 'c') + ":10:N", ParseStatus::SyntaxError, "hash must be 64 hex digits"},
        {SignatureFileKind::Md5, md5 + ":-1:N", ParseStatus::SyntaxError, "size must be a decimal number or *"},
        {SignatureFileKind::Md5, md5 + ":18446744073709551615:N", ParseStatus::SyntaxError,
         "size must be a decimal number or *"},
        {SignatureFileKind::Md5, md5 + ":10:", ParseStatus::SyntaxError, "empty signature name"},
        {SignatureFileKind::Md5, md5 + ":+:N", ParseStatus::SyntaxError, "size must be a decimal number or *"},
        {SignatureFileKind::Md5, md5 + ":10:A B", ParseStatus::Unsupported, NameUnsupported},
        {SignatureFileKind::Md5, md5 + ":10:Caf\xC3\xA9", ParseStatus::Unsupported, NameUnsupported},
        {SignatureFileKind::Md5, md5 + ":10:" + std::string(256, 'n'), ParseStatus::Unsupported, NameUnsupported},
        {SignatureFileKind::Body, "A B:0:*:414243", ParseStatus::Unsupported, NameUnsupported},
        {SignatureFileKind::Md5, md5 + ":10:N:x", ParseStatus::SyntaxError, "invalid functionality level fields"},
        {SignatureFileKind::Md5, md5 + ":10:N:1:2:3", ParseStatus::SyntaxError, "invalid functionality level fields"},
        {SignatureFileKind::Body, "N:0:*", ParseStatus::SyntaxError, "expected Name:TargetType:Offset:HexSignature"},
        {SignatureFileKind::Body, "N:x:*:414243", ParseStatus::SyntaxError, "invalid target type"},
        {SignatureFileKind::Body, "N:6:*:414243", ParseStatus::Unsupported, "target type 6 is not supported"},
        {SignatureFileKind::Body, "N:1:EP+0:414243", ParseStatus::Unsupported, "offset type is not supported"},
        {SignatureFileKind::Body, "N:1:SL+10:414243", ParseStatus::Unsupported, "offset type is not supported"},
        {SignatureFileKind::Body, "N:1:S2+4:414243", ParseStatus::Unsupported, "offset type is not supported"},
        {SignatureFileKind::Body, "N:1:SE1:414243", ParseStatus::Unsupported, "offset type is not supported"},
        {SignatureFileKind::Body, "N:0:VI:414243", ParseStatus::Unsupported, "offset type is not supported"},
        {SignatureFileKind::Body, "N:0:$12:414243", ParseStatus::Unsupported, "offset type is not supported"},
        {SignatureFileKind::Body, "N:0:EOF+3:414243", ParseStatus::SyntaxError, "invalid offset"},
        {SignatureFileKind::Body, "N:0:10,:414243", ParseStatus::SyntaxError, "invalid offset"},
        {SignatureFileKind::Body, "N:0:,5:414243", ParseStatus::SyntaxError, "invalid offset"},
        {SignatureFileKind::Body, "N:0:-4:414243", ParseStatus::SyntaxError, "invalid offset"},
        {SignatureFileKind::Body, "N:0:*:4142", ParseStatus::SyntaxError, "hex signature needs at least 3 bytes"},
        {SignatureFileKind::Body, "N:0:*:414243:x", ParseStatus::SyntaxError, "invalid functionality level fields"},
        {SignatureFileKind::Body, "Bad:Name:0:*:414243", ParseStatus::SyntaxError, "invalid target type"},
    };
    for (const auto& c : cases) {
        const ParsedLine parsed = ParseLine(c.Kind, c.Line);
        EXPECT_EQ(parsed.Problem.Status, c.Status) << c.Line;
        EXPECT_EQ(parsed.Problem.Reason, c.Reason) << c.Line;
    }
}

TEST(SignatureParser, ReadsHashLines) {
    const ParsedLine md5 = ParseLine(SignatureFileKind::Md5, "44D88612fea8a8f36de82e1278abb02f:68:Eicar-Test:73:\r");
    ASSERT_EQ(md5.Problem.Status, ParseStatus::Ok) << md5.Problem.Reason;
    const auto& hash = std::get<HashSignature>(md5.Signature);
    EXPECT_EQ(hash.Algorithm, HashAlgorithm::Md5);
    EXPECT_EQ(hash.Digest[0], 0x44);
    EXPECT_EQ(hash.Digest[15], 0x2f);
    EXPECT_FALSE(hash.AnySize);
    EXPECT_EQ(hash.Size, 68u);
    EXPECT_EQ(hash.Name, "Eicar-Test");

    const ParsedLine sha = ParseLine(SignatureFileKind::Sha, std::string(64, 'f') + ":*:Any.Size:73");
    ASSERT_EQ(sha.Problem.Status, ParseStatus::Ok) << sha.Problem.Reason;
    EXPECT_EQ(std::get<HashSignature>(sha.Signature).Algorithm, HashAlgorithm::Sha256);
    EXPECT_TRUE(std::get<HashSignature>(sha.Signature).AnySize);
    EXPECT_EQ(std::get<HashSignature>(sha.Signature).Digest[31], 0xff);

    const ParsedLine sha1 = ParseLine(SignatureFileKind::Sha, "3395856ce81f2b7382dee72602f798b642f14140:+68:Eicar");
    ASSERT_EQ(sha1.Problem.Status, ParseStatus::Ok) << sha1.Problem.Reason;
    EXPECT_EQ(std::get<HashSignature>(sha1.Signature).Algorithm, HashAlgorithm::Sha1);
    EXPECT_EQ(std::get<HashSignature>(sha1.Signature).Size, 68u);
    EXPECT_EQ(std::get<HashSignature>(sha1.Signature).Digest[19], 0x40);
}

// Lines clamscan loads that this parser takes as they are: empty level fields, one-choice sets.
TEST(SignatureParser, TakesLinesClamscanLoads) {
    const std::string md5(32, 'a');
    const struct {
        SignatureFileKind Kind;
        std::string Line;
    } cases[] = {
        {SignatureFileKind::Md5, md5 + ":10:Name:"},
        {SignatureFileKind::Md5, md5 + ":10:Name::255"},
        {SignatureFileKind::Body, "N:0:*:414243:"},
        {SignatureFileKind::Body, "N:0:*:414243::255"},
        {SignatureFileKind::Body, "N:0:*:414243(44)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseLine(c.Kind, c.Line).Problem.Status, ParseStatus::Ok) << c.Line;
}

// The engine declares level 210: a line needing more, or capped below it, is skipped, in each format.
TEST(SignatureParser, SkipsLinesWhoseLevelsExcludeTheEngine) {
    const std::string md5(32, 'a'), sha1(40, 'b');
    const struct {
        SignatureFileKind Kind;
        std::string Line;
        ParseStatus Status;
    } cases[] = {
        {SignatureFileKind::Md5, md5 + ":10:N:210", ParseStatus::Ok},
        {SignatureFileKind::Md5, md5 + ":10:N:211", ParseStatus::OutOfLevel},
        {SignatureFileKind::Sha, sha1 + ":10:N:51:209", ParseStatus::OutOfLevel},
        {SignatureFileKind::Sha, sha1 + ":10:N::210", ParseStatus::Ok},
        {SignatureFileKind::Body, "N:0:*:414243:220", ParseStatus::OutOfLevel},
        {SignatureFileKind::Body, "N:0:*:414243::100", ParseStatus::OutOfLevel},
        {SignatureFileKind::Body, "N:0:*:414243:73:255", ParseStatus::Ok},
        {SignatureFileKind::Body, "N:0:*:414243:99999999999", ParseStatus::SyntaxError},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ParseLine(c.Kind, c.Line).Problem.Status, c.Status) << c.Line;
}

TEST(SignatureParser, ReadsBodyLinesAndTheirOffsets) {
    const struct {
        const char* Line;
        TargetType Target;
        OffsetKind Kind;
        std::uint64_t Value, Shift;
        const char* Canonical;
    } cases[] = {
        {"A:0:*:414243", TargetType::Any, OffsetKind::Any, 0, 0, "A:0:*:414243"},
        {"A:1:12:414243:51", TargetType::MzFile, OffsetKind::Start, 12, 0, "A:1:12:414243"},
        {"A:0:12,30:414243:51:255", TargetType::Any, OffsetKind::Start, 12, 30, "A:0:12,30:414243"},
        {"A:0:EOF-7:414243", TargetType::Any, OffsetKind::Eof, 7, 0, "A:0:EOF-7:414243"},
        {"A:0:EOF-70,20:414243\r", TargetType::Any, OffsetKind::Eof, 70, 20, "A:0:EOF-70,20:414243"},
    };
    for (const auto& c : cases) {
        const ParsedLine parsed = ParseLine(SignatureFileKind::Body, c.Line);
        ASSERT_EQ(parsed.Problem.Status, ParseStatus::Ok) << c.Line << ": " << parsed.Problem.Reason;
        const auto& body = std::get<BodySignature>(parsed.Signature);
        EXPECT_EQ(body.Target, c.Target) << c.Line;
        EXPECT_EQ(body.Where.Kind, c.Kind) << c.Line;
        EXPECT_EQ(body.Where.Value, c.Value) << c.Line;
        EXPECT_EQ(body.Where.Shift, c.Shift) << c.Line;
        EXPECT_EQ(parsed.Canonical, c.Canonical) << c.Line;
    }
}

TEST(SignatureParser, IgnoresBlankAndCommentLines) {
    for (const char* line : {"", "\r", "   ", "# a comment", "#44d88612fea8a8f36de82e1278abb02f:68:X"})
        EXPECT_EQ(ParseLine(SignatureFileKind::Md5, line).Problem.Status, ParseStatus::Ignored) << line;
}

TEST(SignatureParser, TellsTheKindFromTheExtension) {
    EXPECT_EQ(KindFromFileName("main.hdb"), SignatureFileKind::Md5);
    EXPECT_EQ(KindFromFileName("X.HSB"), SignatureFileKind::Sha);
    EXPECT_EQ(KindFromFileName("a.b.Ndb"), SignatureFileKind::Body);
    EXPECT_EQ(KindFromFileName("main.hdu"), SignatureFileKind::Md5);
    EXPECT_EQ(KindFromFileName("main.HSU"), SignatureFileKind::Sha);
    EXPECT_EQ(KindFromFileName("daily.ndu"), SignatureFileKind::Body);
    EXPECT_EQ(KindFromFileName("daily.ign2"), std::nullopt);
    EXPECT_EQ(KindFromFileName("daily.fp"), SignatureFileKind::Md5Allow);
    EXPECT_EQ(KindFromFileName("daily.SFP"), SignatureFileKind::Sha256Allow);
    EXPECT_TRUE(IsIgnoreListName("daily.IGN2"));
    EXPECT_FALSE(IsIgnoreListName("daily.ign"));
    EXPECT_EQ(KindFromFileName("main.ldb"), std::nullopt);
    EXPECT_EQ(KindFromFileName("hdb"), std::nullopt);
}

} // namespace
} // namespace detect
