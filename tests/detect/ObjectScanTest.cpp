#include "tests/detect/DetectTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <tuple>

namespace detect {
namespace {

using test::Found;
using test::PayloadOf;

struct BodyCase {
    std::string Signature; // one .ndb line
    std::string Data;
    std::vector<Found> Expected;
};

// Every case runs with 1-byte, 8192-byte and random blocks.
void RunBodyCases(const std::vector<BodyCase>& aCases) {
    for (const BodyCase& c : aCases) {
        const auto payload = PayloadOf({{SignatureFileKind::Body, c.Signature}});
        const auto database = LoadDatabase(payload.data(), payload.size());
        for (std::size_t block : {std::size_t{1}, std::size_t{8192}, std::size_t{0}})
            EXPECT_EQ(test::Scan(*database, c.Data, block), c.Expected) << c.Signature << " on " << c.Data << " in blocks of " << block;
    }
}

TEST(ObjectScan, MatchesFixedBytesAndSingleByteWildcards) {
    RunBodyCases({
        {"A:0:*:414243", "xxABCxx", {{"A", 5}}},
        {"A:0:*:414243", "ABCABC", {{"A", 3}}},
        {"A:0:*:414243", "ABxABD", {}},
        {"A:0:*:4142434?", "xABCD", {{"A", 5}}},
        {"A:0:*:4142434?", "xABC\x50", {}},
        {"A:0:*:414243?4", "ABCT", {{"A", 4}}},
        {"A:0:*:414243?4", "ABCU", {}},
        {"A:0:*:414243??45", "ABC\x01" "E", {{"A", 5}}},
        {"A:0:*:??414243", "ABC", {}},
        {"A:0:*:??414243", "zABC", {{"A", 4}}},
        {"A:0:*:41(42|5a)434445", "AZCDE", {{"A", 5}}},
        {"A:0:*:41(42|5a)434445", "AXCDE", {}},
        {"A:0:*:616161", "aaaaaa", {{"A", 3}}},
        // Bytes around the anchor turn hits away; near the object's ends there are fewer of them.
        {"A:0:*:414243??44", "ABCxCABCxD", {{"A", 10}}},
        {"A:0:*:4?41424344", "DABCD", {{"A", 5}}},
        {"A:0:*:4?41424344", "ABCD", {}},
        {"A:0:*:4?41424344", "xABCDxABCD", {}},
        {"A:0:*:414243?5", "ABCDABCU", {{"A", 8}}},
        {"A:0:*:414243?5", "xABC", {}},
        // Longer fixed runs than the automaton's anchor are checked to their end.
        {"A:0:*:" + std::string(80, '6') + "41", "x" + std::string(40, 'f') + "A", {{"A", 42}}},
        {"A:0:*:" + std::string(80, '6') + "41", "x" + std::string(39, 'f') + "gA", {}},
    });
}

TEST(ObjectScan, MatchesBoundedGaps) {
    RunBodyCases({
        {"A:0:*:414243{2}44", "ABCxyD", {{"A", 6}}},
        {"A:0:*:414243{2}44", "ABCxD", {}},
        {"A:0:*:414243{-2}44", "ABCD", {{"A", 4}}},
        {"A:0:*:414243{-2}44", "ABCxxD", {{"A", 6}}},
        {"A:0:*:414243{-2}44", "ABCxxxD", {}},
        {"A:0:*:414243{1-3}44", "ABCD", {}},
        {"A:0:*:414243{1-3}44", "ABCxDD", {{"A", 5}}},
        {"A:0:*:414243{1-3}44", "ABCxxxxD", {}},
        {"A:0:*:41{1-2}424344", "AxxBCD", {{"A", 6}}},
        {"A:0:*:41{1-2}424344", "AxxxBCD", {}},
        {"A:0:*:41{0-1}42{0-1}434445", "ABxCDE", {{"A", 6}}},
        {"A:0:*:444546{2-4}41??42{1-1}43", "DEFxxAyBzC", {{"A", 10}}},
    });
}

TEST(ObjectScan, MatchesUnboundedGapsPartByPart) {
    RunBodyCases({
        {"A:0:*:414243*44", "ABCD", {{"A", 4}}},
        {"A:0:*:414243*44", "DABC", {}},
        {"A:0:*:414243*44", "ABCxxxxxxD", {{"A", 10}}},
        {"A:0:*:414243{3-}44", "ABCxxD", {}},
        {"A:0:*:414243{3-}44", "ABCxxxDD", {{"A", 7}}},
        {"A:0:*:414243*444546", "DEFABCxDEF", {{"A", 10}}},
        {"A:0:*:414243*434445", "ABCDE", {}},
        {"A:0:*:414243*434445", "ABCDECDE", {{"A", 8}}},
        {"A:0:*:414243*44*45", "ABCDDEE", {{"A", 6}}},
        {"A:0:*:414243*(44|45)46", "ABCEF", {{"A", 5}}},
        {"A:0:0:414243*444546", "ABCxDEF", {{"A", 7}}},
        {"A:0:0:414243*444546", "xABCxDEF", {}},
    });
}

TEST(ObjectScan, AppliesOffsetsAndTargetTypes) {
    RunBodyCases({
        {"A:0:2:414243", "xxABC", {{"A", 5}}},
        {"A:0:2:414243", "xABCx", {}},
        {"A:0:2:414243", "xxxABC", {}},
        {"A:0:2,3:414243", "xxxxxABC", {{"A", 8}}},
        {"A:0:2,3:414243", "xxxxxxABC", {}},
        {"A:0:2,3:414243", "xABCxABCxx", {{"A", 8}}},
        {"A:0:1:??414243", "xzABC", {{"A", 5}}},
        {"A:0:EOF-3:414243", "xxABC", {{"A", 5}}},
        {"A:0:EOF-3:414243", "xABCx", {}},
        {"A:0:EOF-5,2:414243", "xxABCxx", {{"A", 5}}},
        {"A:0:EOF-5,2:414243", "xABCxxx", {}},
        {"A:0:EOF-9:414243", "xxABC", {}},
        {"A:1:*:414243", "MZABC", {{"A", 5}}},
        {"A:1:*:414243", "ZMABC", {}},
        {"A:1:*:4d5a41", "MZA", {{"A", 3}}},
        {"A:1:0:4d5a41", "MZA", {{"A", 3}}},
    });
}

TEST(ObjectScan, FindsMatchesAcrossChunkBoundariesInLongObjects) {
    std::string data(20000, 'x');
    data.replace(8190, 3, "ABC");
    data.replace(16380, 6, "DEFGHI");
    RunBodyCases({
        {"A:0:*:414243", data, {{"A", 8193}}},
        {"A:0:*:41{1-8}434445", data, {}},
        {"A:0:*:414243*444546{1-3}4849", data, {{"A", 16386}}},
        {"A:0:8190:414243", data, {{"A", 8193}}},
        {"A:0:EOF-3620:444546", data, {{"A", 16383}}},
    });
}

// Thousands of short literals: over 16 letters their three-byte paths overflow the automaton's
// smallest filter and the data keeps it two and three deep, where it falls back on that filter to
// leave the trie; over all 256 bytes most byte pairs start one, and the skip loop tests eight
// positions at a time. Every literal's first end must still be found, planted ones included.
TEST(ObjectScan, FindsEveryLiteralOfALargeSet) {
    struct Case {
        unsigned Letters;
        int Literals;
        std::size_t DataSize;
        int Planted;
    };
    for (const Case c : {Case{16, 6000, 65536, 0}, Case{256, 30000, 131072, 1000}}) {
        std::mt19937 random(11);
        const auto letter = [&] { return static_cast<char>(static_cast<unsigned char>(0x40 + random() % c.Letters)); };
        std::vector<std::pair<SignatureFileKind, std::string>> lines;
        std::vector<std::string> literals;
        for (int i = 0; i < c.Literals; ++i) {
            std::string literal(4 + random() % 5, ' '), hex;
            for (char& ch : literal) ch = letter();
            for (const char ch : literal) {
                const auto byte = static_cast<unsigned char>(ch);
                hex += "0123456789abcdef"[byte >> 4];
                hex += "0123456789abcdef"[byte & 15];
            }
            lines.push_back({SignatureFileKind::Body, "S" + std::to_string(i) + ":0:*:" + hex});
            literals.push_back(literal);
        }
        std::string data(c.DataSize, ' ');
        for (char& ch : data) ch = letter();
        for (int k = 0; k < c.Planted; ++k) {
            const std::string& literal = literals[random() % literals.size()];
            data.replace(random() % (data.size() - literal.size()), literal.size(), literal);
        }
        std::vector<Found> expected;
        for (std::size_t i = 0; i < literals.size(); ++i)
            if (const auto at = data.find(literals[i]); at != std::string::npos)
                expected.push_back({"S" + std::to_string(i), at + literals[i].size()});
        const auto byEnd = [](const Found& a, const Found& b) { return std::tie(a.End, a.Name) < std::tie(b.End, b.Name); };
        std::sort(expected.begin(), expected.end(), byEnd);
        ASSERT_GT(expected.size(), 500u);
        const auto payload = PayloadOf(lines);
        const auto database = LoadDatabase(payload.data(), payload.size());
        for (std::size_t block : {std::size_t{1}, std::size_t{8192}, std::size_t{0}}) {
            auto found = test::Scan(*database, data, block);
            std::sort(found.begin(), found.end(), byEnd);
            EXPECT_EQ(found, expected) << c.Letters << " letters, in blocks of " << block;
        }
    }
}

// A wide ranged gap splits a first part into segments linked by the gap's range.
TEST(ObjectScan, MatchesWideGapsAsLinkedSegments) {
    const std::string x40(40, 'x');
    RunBodyCases({
        {"A:0:*:414243{0-40}4445", "ABC" + x40 + "DE", {{"A", 45}}},
        {"A:0:*:414243{0-40}4445", "ABC" + x40 + "xDE", {}},
        {"A:0:*:414243{0-40}4445", "ABCDE", {{"A", 5}}},
        {"A:0:*:414243{0-40}4445", "DEABC", {}},
        // The nearest predecessor is too near; an earlier one is in range.
        {"A:0:*:414243{40-80}4445", "ABC" + std::string(45, 'x') + "ABC" + std::string(5, 'x') + "DE", {{"A", 58}}},
        {"A:0:*:414243{40-80}4445", "ABC" + std::string(39, 'x') + "DE", {}},
        // Segments with wildcards, nibbles and fixed gaps between the ranged ones.
        {"A:0:*:41??434445{0-40}44?5{2}46{10-50}47", "AzCDE" + x40 + "DUxyF" + std::string(10, 'x') + "G", {{"A", 61}}},
        {"A:0:*:41??434445{0-40}44?5{2}46{10-50}47", "AzCDE" + x40 + "DUxyF" + std::string(9, 'x') + "G", {}},
        // A chain followed by an unbounded gap, and a gap wider than a chunk.
        {"A:0:*:414243{0-40}4445*4647", "FGABCxDExFG", {{"A", 11}}},
        {"A:0:*:414243{0-20000}4445", "ABC" + std::string(9000, 'x') + "DE", {{"A", 9005}}},
        // Not split: a segment with no fixed byte, or a first part with an offset.
        {"A:0:*:414243{0-40}4?", "ABC" + x40 + "J", {{"A", 44}}},
        {"A:0:0:414243{0-40}4445", "ABC" + x40 + "DE", {{"A", 45}}},
        {"A:0:1:414243{0-40}4445", "ABC" + x40 + "DE", {}},
    });
}

TEST(ObjectScan, MatchesWildcardRunsAndTrailingWildcards) {
    RunBodyCases({
        {"A:0:*:414243" + std::string(120, '?') + "44", "ABC" + std::string(60, 'x') + "D", {{"A", 64}}},
        {"A:0:*:414243" + std::string(120, '?') + "44", "ABC" + std::string(59, 'x') + "D", {}},
        {"A:0:*:414243????", "ABCx", {}},
        {"A:0:*:414243????", "ABCxy", {{"A", 5}}},
    });
}

// Parts sharing an anchor literal, within a signature and across signatures.
TEST(ObjectScan, SharedAnchorsServeEachPartInTurn) {
    RunBodyCases({
        {"A:0:*:414243*414243", "ABC", {}},
        {"A:0:*:414243*414243", "ABCABC", {{"A", 6}}},
        {"A:0:*:414243*414243*414243", "ABCxABCxABC", {{"A", 11}}},
    });
    const auto payload = PayloadOf({{SignatureFileKind::Body, "First:0:*:41424344*45464748"},
                                    {SignatureFileKind::Body, "Second:0:*:41424344*494a4b4c"},
                                    {SignatureFileKind::Body, "Back:0:*:494a4b4c*41424344"},
                                    {SignatureFileKind::Body, "Again:0:*:41424344*41424344"}});
    const auto database = LoadDatabase(payload.data(), payload.size());
    for (std::size_t block : {std::size_t{1}, std::size_t{3}, std::size_t{0}}) {
        EXPECT_EQ(test::Scan(*database, "ABCDIJKLABCD", block),
                  (std::vector<Found>{{"Second", 8}, {"Back", 12}, {"Again", 12}}))
            << block;
    }
}

// Too many partial matches pending: the object stops being matched and says so; what was found
// before stands, and the next object is matched afresh.
TEST(ObjectScan, ReportsOverflowWhenPartialMatchesExceedTheBound) {
    std::vector<std::pair<SignatureFileKind, std::string>> lines{{SignatureFileKind::Body, "Early:0:*:414243"}};
    for (char last : std::string("12345"))
        lines.push_back({SignatureFileKind::Body, std::string("Wait:0:*:000000{60000}0") + last});
    const auto payload = PayloadOf(lines);
    const auto database = LoadDatabase(payload.data(), payload.size());
    test::FakeHashProvider hashes;
    ObjectScan scan(*database, hashes);
    const std::string data = "ABC" + std::string(256 << 10, '\0');
    scan.Begin(data.size());
    scan.Feed(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
    const std::vector<Match>& matches = scan.End(true);
    EXPECT_TRUE(scan.Overflowed());
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].Name, "Early");

    scan.Begin(3);
    scan.Feed(reinterpret_cast<const std::uint8_t*>("ABC"), 3);
    EXPECT_EQ(scan.End(true).size(), 1u);
    EXPECT_FALSE(scan.Overflowed());
}

TEST(ObjectScan, OrdersMatchesByEndThenDatabaseOrder) {
    const auto payload = PayloadOf({{SignatureFileKind::Body, "Late:0:*:58595a"},
                                    {SignatureFileKind::Body, "Early:0:*:414243"},
                                    {SignatureFileKind::Body, "Same.End:0:*:4243"
                                                              "44"},
                                    {SignatureFileKind::Body, "Dup:0:*:414243"}});
    const auto database = LoadDatabase(payload.data(), payload.size());
    const std::vector<Found> expected = {{"Early", 3}, {"Dup", 3}, {"Same.End", 4}, {"Late", 7}};
    EXPECT_EQ(test::Scan(*database, "ABCDXYZ", 1), expected);
    EXPECT_EQ(test::Scan(*database, "ABCDXYZ", 8192), expected);
}

TEST(ObjectScan, CutShortKeepsBodyMatchesButNoEofVerdict) {
    const auto payload = PayloadOf({{SignatureFileKind::Body, "Any:0:*:414243"},
                                    {SignatureFileKind::Body, "Tail:0:EOF-3:444546"}});
    const auto database = LoadDatabase(payload.data(), payload.size());
    const std::vector<Found> both = {{"Any", 3}, {"Tail", 6}};
    EXPECT_EQ(test::Scan(*database, "ABCDEF", 2), both);
    EXPECT_EQ(test::Scan(*database, "ABCDEF", 2, false), std::vector<Found>({{"Any", 3}}));
    // The real end decides EOF-n when the size changed while reading.
    EXPECT_EQ(test::Scan(*database, "ABCDEF", 2, true, 10), std::vector<Found>({{"Any", 3}}));
    EXPECT_EQ(test::Scan(*database, "ABCDEF", 2, true, 6), both);
}

TEST(ObjectScan, ComputesHashesOnlyForNamedSizes) {
    const std::string data = "some file content";
    const std::string md5 = test::FakeDigestHex(HashAlgorithm::Md5, data);
    const std::string sha = test::FakeDigestHex(HashAlgorithm::Sha256, data);
    const std::string sha1 = test::FakeDigestHex(HashAlgorithm::Sha1, data);
    const auto size = std::to_string(data.size());
    const struct {
        std::vector<std::pair<SignatureFileKind, std::string>> Lines;
        std::uint64_t Declared;
        int Hashers; // digests computed
        std::vector<Found> Expected;
    } cases[] = {
        {{{SignatureFileKind::Md5, md5 + ":" + size + ":Md5.Hit"}}, data.size(), 1, {{"Md5.Hit", 17}}},
        {{{SignatureFileKind::Md5, md5 + ":99:Md5.Other.Size"}}, data.size(), 0, {}},
        {{{SignatureFileKind::Md5, md5 + ":*:Md5.Any"}}, data.size(), 1, {{"Md5.Any", 17}}},
        {{{SignatureFileKind::Sha, sha + ":" + size + ":Sha.Hit"}}, data.size(), 1, {{"Sha.Hit", 17}}},
        {{{SignatureFileKind::Md5, std::string(32, '0') + ":" + size + ":Md5.Miss"}}, data.size(), 1, {}},
        // Declared 99, read 17: hashing was for size 99, compared by the real size.
        {{{SignatureFileKind::Md5, md5 + ":" + size + ":Md5.Real"}, {SignatureFileKind::Md5, md5 + ":99:Md5.Said"}},
         99, 1, {{"Md5.Real", 17}}},
        {{{SignatureFileKind::Md5, md5 + ":" + size + ":Md5.Real"}}, 99, 0, {}},
        // Size not known before the end (an archive's member): every algorithm in use is computed.
        {{{SignatureFileKind::Md5, md5 + ":" + size + ":Md5.Real"}, {SignatureFileKind::Sha, sha + ":99:Sha.Said"}},
         ObjectScan::UnknownSize, 2, {{"Md5.Real", 17}}},
        {{{SignatureFileKind::Md5, md5 + ":*:B"},
          {SignatureFileKind::Md5, md5 + ":" + size + ":A"},
          {SignatureFileKind::Sha, sha + ":*:C"},
          {SignatureFileKind::Body, "D:0:*:636f6e74"}},
         data.size(), 2, {{"D", 14}, {"B", 17}, {"A", 17}, {"C", 17}}},
        // Hash findings follow database order, whatever the size or the algorithm.
        {{{SignatureFileKind::Sha, sha + ":" + size + ":S"},
          {SignatureFileKind::Sha, sha1 + ":*:One"},
          {SignatureFileKind::Md5, md5 + ":*:M"},
          {SignatureFileKind::Sha, sha + ":*:T"},
          {SignatureFileKind::Md5, md5 + ":" + size + ":N"}},
         data.size(), 3, {{"S", 17}, {"One", 17}, {"M", 17}, {"T", 17}, {"N", 17}}},
    };
    for (const auto& c : cases) {
        const auto payload = PayloadOf(c.Lines);
        const auto database = LoadDatabase(payload.data(), payload.size());
        test::FakeHashProvider hashes;
        ObjectScan scan(*database, hashes);
        scan.Begin(c.Declared);
        scan.Feed(reinterpret_cast<const std::uint8_t*>(data.data()), data.size());
        std::vector<Found> found;
        for (const Match& match : scan.End(true)) found.push_back({std::string(match.Name), match.End});
        EXPECT_EQ(found, c.Expected) << c.Lines.front().second;
        EXPECT_EQ(hashes.Created, c.Hashers) << c.Lines.front().second;
    }
}

TEST(ObjectScan, GivesNoHashVerdictWhenCutShortAndIsReusable) {
    const std::string data = "content";
    const auto payload = PayloadOf({{SignatureFileKind::Md5, test::FakeDigestHex(HashAlgorithm::Md5, data) + ":*:H"},
                                    {SignatureFileKind::Body, "B:0:*:6e7465"}});
    const auto database = LoadDatabase(payload.data(), payload.size());
    test::FakeHashProvider hashes;
    ObjectScan scan(*database, hashes);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(data.data());
    scan.Begin(data.size());
    scan.Feed(bytes, data.size());
    ASSERT_EQ(scan.End(false).size(), 1u);
    EXPECT_EQ(scan.End(false).front().Name, "B");
    for (int round = 0; round < 2; ++round) {
        scan.Begin(data.size());
        scan.Feed(bytes, data.size());
        const auto& matches = scan.End(true);
        ASSERT_EQ(matches.size(), 2u);
        EXPECT_EQ(matches[0].Kind, MatchKind::Body);
        EXPECT_EQ(matches[1].Kind, MatchKind::Hash);
        EXPECT_EQ(matches[1].Signature, 0u);
        EXPECT_EQ(matches[0].Signature, 1u);
    }
}

TEST(Decide, InfectedWinsOverPossibleAndHeuristicsCountOnlyWhenOn) {
    const auto m = [](const char* aName) { return Match{0, aName, MatchKind::Body, 1}; };
    const struct {
        std::vector<Match> Matches;
        bool Heuristic;
        Verdict Kind;
        const char* Name;
    } cases[] = {
        {{}, true, Verdict::Clean, ""},
        {{m("Win.Trojan.X")}, false, Verdict::Infected, "Win.Trojan.X"},
        {{m("PUA.Tool"), m("Win.Trojan.X"), m("Win.Trojan.Y")}, true, Verdict::Infected, "Win.Trojan.X"},
        {{m("PUA.Tool"), m("Heuristics.Z")}, true, Verdict::Possible, "PUA.Tool"},
        {{m("Heuristics.Z"), m("PUA.Tool")}, true, Verdict::Possible, "Heuristics.Z"},
        {{m("PUA.Tool")}, false, Verdict::Clean, ""},
        {{m("PUAX.Tool"), m("PUA.Tool")}, true, Verdict::Infected, "PUAX.Tool"},
        {{m("Heuristics"), m("PUA.Tool")}, false, Verdict::Infected, "Heuristics"},
    };
    for (const auto& c : cases) {
        const Finding finding = Decide(c.Matches, c.Heuristic);
        EXPECT_EQ(finding.Kind, c.Kind);
        EXPECT_EQ(finding.Name, c.Name);
    }
}

} // namespace
} // namespace detect
