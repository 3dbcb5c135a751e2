#include "tests/detect/DetectTestSupport.h"

#include <gtest/gtest.h>

namespace detect {
namespace {

const std::string Object = "EVIL-BYTES";
const std::string Md5 = test::FakeDigestHex(HashAlgorithm::Md5, Object);
const std::string Sha = test::FakeDigestHex(HashAlgorithm::Sha256, Object);

std::vector<std::uint8_t> QdbOf(const std::vector<std::pair<SignatureFileKind, std::string>>& aLines) {
    DatabaseBuilder builder;
    for (const auto& [kind, line] : aLines) EXPECT_EQ(builder.AddLine(kind, line).Problem.Status, ParseStatus::Ok) << line;
    return builder.BuildQdb();
}

struct Outcome {
    std::size_t Matches;
    bool Allowed;
};

Outcome ScanObject(ObjectScan& aScan, const std::string& aData, bool aComplete = true) {
    aScan.Begin(aData.size());
    aScan.Feed(reinterpret_cast<const std::uint8_t*>(aData.data()), aData.size());
    const std::size_t matches = aScan.End(aComplete).size();
    return {matches, aScan.Allowed()};
}

// An allowed object gives no match at all, whatever matched it and in whichever payload the list is.
TEST(AllowList, AnObjectOnAListGivesNoMatch) {
    const std::vector<std::uint8_t> signatures =
        QdbOf({{SignatureFileKind::Body, "Evil.Body:0:*:4556494c"}, {SignatureFileKind::Md5, Md5 + ":10:Evil.Hash"}});
    const struct {
        std::pair<SignatureFileKind, std::string> Line;
        bool Allowed;
    } cases[] = {
        {{SignatureFileKind::Md5Allow, Md5 + ":10:Fine"}, true},
        {{SignatureFileKind::Md5Allow, Md5 + ":*:Fine"}, true},
        {{SignatureFileKind::Sha256Allow, Sha + ":10:Fine"}, true},
        {{SignatureFileKind::Sha256Allow, Sha + ":*:Fine"}, true},
        {{SignatureFileKind::Md5Allow, Md5 + ":11:Fine"}, false},
        {{SignatureFileKind::Md5Allow, std::string(32, 'a') + ":10:Fine"}, false},
        {{SignatureFileKind::Sha256Allow, std::string(64, 'a') + ":*:Fine"}, false},
    };
    for (const auto& c : cases) {
        // Alone in a payload after the signatures, and beside them in the same payload.
        const std::vector<std::uint8_t> list = QdbOf({c.Line});
        DatabaseBuilder together;
        together.AddLine(SignatureFileKind::Body, "Evil.Body:0:*:4556494c");
        together.AddLine(c.Line.first, c.Line.second);
        const std::vector<std::uint8_t> both = together.Build();
        const PayloadView apart[] = {{signatures.data(), signatures.size()}, {list.data(), list.size()}};
        const PayloadView one[] = {{both.data(), both.size()}};
        CancelPoll never;
        for (const std::span<const PayloadView> views : {std::span<const PayloadView>(apart), std::span<const PayloadView>(one)}) {
            const auto database = LoadDatabases(views, never);
            test::FakeHashProvider hashes;
            ObjectScan scan(*database, hashes);
            const Outcome outcome = ScanObject(scan, Object);
            EXPECT_EQ(outcome.Allowed, c.Allowed) << c.Line.second;
            EXPECT_EQ(outcome.Matches == 0, c.Allowed) << c.Line.second;
        }
    }
}

TEST(AllowList, OnlyAWholeObjectIsAllowed) {
    const std::vector<std::uint8_t> payload =
        QdbOf({{SignatureFileKind::Body, "Evil.Body:0:*:4556494c"}, {SignatureFileKind::Md5Allow, Md5 + ":10:Fine"}});
    const auto database = LoadDatabase(payload.data(), payload.size());
    test::FakeHashProvider hashes;
    ObjectScan scan(*database, hashes);
    // Cut short, its digest is unknown: what matched stands.
    EXPECT_EQ(ScanObject(scan, Object, false).Allowed, false);
    EXPECT_EQ(ScanObject(scan, Object, false).Matches, 1u);
    // The allowed object's bytes inside another object allow nothing.
    EXPECT_EQ(ScanObject(scan, Object + "!").Matches, 1u);
    EXPECT_TRUE(ScanObject(scan, Object).Allowed);
    EXPECT_FALSE(ScanObject(scan, "nothing at all").Allowed);
}

} // namespace
} // namespace detect
