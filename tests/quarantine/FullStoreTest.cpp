// Run by full-store.sh with a small tmpfs mounted on the user's store: a quarantine that does not
// fit fails with the system's message, leaves the original as it was and no item behind.
#include "quarantine/Quarantine.h"

#include "platform/Error.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace quarantine {
namespace {

namespace fs = std::filesystem;

TEST(FullStore, DISABLED_QuarantineFailsCleanlyAndTheOriginalStays)
{
    ULARGE_INTEGER total{};
    ASSERT_TRUE(GetDiskFreeSpaceExW(StoreFolder().c_str(), nullptr, &total, nullptr));
    ASSERT_LT(total.QuadPart, 8u << 20) << "the store is not on the small disk";
    TempFolder files;
    const fs::path path = files.Path() / L"large.com";
    std::string content = EicarText();
    for (std::size_t i = 0; content.size() < 3u << 20; ++i)
        content += static_cast<char>(i * 7919 % 251);
    std::ofstream(path, std::ios::binary) << content;

    const Outcome outcome = QuarantineFile(path, L"Eicar-Test-Signature", vault::ThreatKind::Infected);
    EXPECT_FALSE(outcome.Succeeded);
    EXPECT_EQ(outcome.Message, SystemMessage(ERROR_DISK_FULL));
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(in), {}) == content) << "the original is intact";
    EXPECT_TRUE(fs::is_empty(StorePath())) << "no item, complete or temporary, is left";
}

} // namespace
} // namespace quarantine
