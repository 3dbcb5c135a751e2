// Giving up a load part-way: asked often enough, and nothing left half-built behind the exception.
#include "tests/detect/DetectTestSupport.h"

#include "detect/Cancel.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

namespace detect {
namespace {

// Hashes, and bodies enough that reading and compiling them take several checks each.
std::vector<std::uint8_t> MixedPayload() {
    std::vector<std::pair<SignatureFileKind, std::string>> lines;
    char line[96];
    for (int i = 0; i < 3000; ++i) {
        std::snprintf(line, sizeof line, "%032x:%d:Hash.%d", i * 2654435761u, 100 + i, i);
        lines.emplace_back(SignatureFileKind::Md5, line);
        std::snprintf(line, sizeof line, "Body.%d:0:*:%08x%08x??41{2-6}42", i, i * 2654435761u, i);
        lines.emplace_back(SignatureFileKind::Body, line);
    }
    return test::PayloadOf(lines);
}

// Every kth question answered yes, across the whole load: each one stops it with Cancelled, and
// ASan sees every partial structure released.
TEST(CancelTest, LoadGivesUpAtAnyQuestion) {
    const std::vector<std::uint8_t> payload = MixedPayload();
    int questions = 0;
    CancelPoll counting([&] {
        ++questions;
        return false;
    });
    ASSERT_NE(LoadDatabase(payload.data(), payload.size(), counting), nullptr);
    // The padding alone is checked a piece at a time.
    EXPECT_GE(static_cast<std::size_t>(questions), payload.size() / CancelPoll::BytesPerPiece);

    for (int stopAt = 1; stopAt <= questions; stopAt += std::max(1, questions / 20)) {
        int asked = 0;
        CancelPoll poll([&] { return ++asked == stopAt; });
        EXPECT_THROW(LoadDatabase(payload.data(), payload.size(), poll), Cancelled) << stopAt;
        EXPECT_EQ(asked, stopAt);
    }
}

TEST(CancelTest, AssignFillsInPiecesAndStopsBetweenThem) {
    std::vector<std::uint32_t> values{7};
    int asked = 0;
    CancelPoll poll([&] { return ++asked == 3; });
    const std::size_t count = 3 * CancelPoll::BytesPerPiece / sizeof(std::uint32_t) + 5;
    EXPECT_THROW(poll.Assign(values, count, 1u), Cancelled);
    EXPECT_EQ(values.size(), 2 * CancelPoll::BytesPerPiece / sizeof(std::uint32_t));

    CancelPoll never;
    never.Assign(values, count, 1u);
    EXPECT_EQ(values, std::vector<std::uint32_t>(count, 1u));
}

} // namespace
} // namespace detect
