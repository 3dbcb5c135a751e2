#include "tests/detect/DetectTestSupport.h"

#include <gtest/gtest.h>

namespace detect {
namespace {

using Lines = std::vector<std::pair<SignatureFileKind, std::string>>;

std::vector<std::uint8_t> QdbOf(const Lines& aLines) {
    DatabaseBuilder builder;
    for (const auto& [kind, line] : aLines) EXPECT_EQ(builder.AddLine(kind, line).Problem.Status, ParseStatus::Ok) << line;
    return builder.BuildQdb();
}

// The payloads must outlive the result.
std::unique_ptr<const Database> LoadAll(const std::vector<std::vector<std::uint8_t>>& aPayloads) {
    std::vector<PayloadView> views;
    for (const auto& payload : aPayloads) views.push_back({payload.data(), payload.size()});
    CancelPoll never;
    return LoadDatabases(views, never);
}

struct Seen {
    std::string Name;
    std::uint32_t Signature;
    bool operator==(const Seen&) const = default;
};

std::vector<Seen> Matches(const Database& aDatabase, const std::string& aObject) {
    test::FakeHashProvider hashes;
    ObjectScan scan(aDatabase, hashes);
    scan.Begin(aObject.size());
    scan.Feed(reinterpret_cast<const std::uint8_t*>(aObject.data()), aObject.size());
    std::vector<Seen> seen;
    for (const Match& match : scan.End(true)) seen.push_back({match.Name, match.Signature});
    return seen;
}

const std::string Object = "ABCDEF";
const std::string Md5 = test::FakeDigestHex(HashAlgorithm::Md5, Object);
const std::string Sha = test::FakeDigestHex(HashAlgorithm::Sha256, Object);

// Signature numbers run on from one payload to the next, so the earlier payload's signature is
// the first match of its kind, for body and hash signatures alike.
TEST(SeveralPayloads, NumbersRunOnAndTheEarlierPayloadComesFirst) {
    const auto first = QdbOf({{SignatureFileKind::Sha, Sha + ":6:First.Hash"},
                              {SignatureFileKind::Md5, Md5 + ":*:First.Md5"},
                              {SignatureFileKind::Body, "First.Body:0:*:434445"}});
    const auto second = QdbOf({{SignatureFileKind::Md5, Md5 + ":6:Second.Hash"},
                               {SignatureFileKind::Body, "Second.Body:0:*:434445"}});
    const std::vector<Seen> inOrder = {{"First.Body", 2}, {"Second.Body", 4}, {"First.Hash", 1},
                                       {"First.Md5", 0}, {"Second.Hash", 3}};
    EXPECT_EQ(Matches(*LoadAll({first, second}), Object), inOrder);
    const std::vector<Seen> reversed = {{"Second.Body", 1}, {"First.Body", 4}, {"Second.Hash", 0},
                                        {"First.Hash", 3}, {"First.Md5", 2}};
    EXPECT_EQ(Matches(*LoadAll({second, first}), Object), reversed);
    // Hashes alone: the first payload's hash is the finding.
    const std::vector<std::vector<std::uint8_t>> payloads = {QdbOf({{SignatureFileKind::Md5, Md5 + ":6:Only.Hash"}}), first};
    const auto database = LoadAll(payloads);
    EXPECT_EQ(Matches(*database, "ABCDEF").front(), (Seen{"First.Body", 3}));
    test::FakeHashProvider hashes;
    ObjectScan scan(*database, hashes);
    scan.Begin(6);
    scan.Feed(reinterpret_cast<const std::uint8_t*>("ABCDEF"), 6);
    std::vector<Match> hashMatches;
    for (const Match& match : scan.End(true))
        if (match.Kind == MatchKind::Hash) hashMatches.push_back(match);
    EXPECT_EQ(Decide(hashMatches, false).Name, "Only.Hash");
    EXPECT_EQ(database->Counts().Total(), 4u);
}

TEST(SeveralPayloads, ErrorsTellWhichPayload) {
    const auto good = QdbOf({{SignatureFileKind::Body, "Good:0:*:414243"}});
    auto damaged = good;
    damaged[20] = 1;
    auto newer = good;
    newer[16] = 3;
    for (const auto& [payloads, index] : std::vector<std::pair<std::vector<std::vector<std::uint8_t>>, std::size_t>>{
             {{damaged, good}, 0}, {{good, damaged}, 1}, {{good, good, newer}, 2}}) {
        try {
            LoadAll(payloads);
            ADD_FAILURE() << "loaded";
        } catch (const DatabaseError& error) {
            EXPECT_EQ(error.Payload(), index);
            EXPECT_EQ(dynamic_cast<const UnsupportedVersionError*>(&error) != nullptr, index == 2);
        }
    }
    try {
        LoadDatabase(damaged.data(), damaged.size());
        ADD_FAILURE() << "loaded";
    } catch (const DatabaseError& error) {
        EXPECT_FALSE(error.Payload().has_value());
    }
}

// Each payload's body signatures must fit its own budget: a large payload does not lend its
// room to a dense one.
TEST(SeveralPayloads, EachPayloadHasItsOwnBudget) {
    std::string hex = "414243";
    for (int i = 0; i < 63; ++i) hex += "*444546";
    const auto dense = QdbOf({{SignatureFileKind::Body, "Many.Parts:0:*:" + hex}});
    DatabaseBuilder roomy;
    roomy.AddLine(SignatureFileKind::Body, "Small:0:*:414243");
    const std::vector<std::uint8_t> padded = roomy.Build();
    try {
        LoadAll({padded, dense});
        ADD_FAILURE() << "loaded";
    } catch (const DatabaseError& error) {
        EXPECT_EQ(error.Payload(), 1u);
    }
    EXPECT_NO_THROW(LoadAll({padded, padded}));
}

} // namespace
} // namespace detect
