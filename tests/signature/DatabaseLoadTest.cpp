// signature.dat with the database header: compiled on load, refused whole when it cannot be used.
#include "signature/Signature.h"

#include "detect/PayloadFormat.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

std::wstring Path(const TempFolder& aFolder)
{
    return aFolder.Str() + L"\\signature.dat";
}

TEST(DatabaseLoadTest, CompilesAPayloadWithTheHeader)
{
    TempFolder folder;
    WriteStamped(Path(folder), DatabasePayload(EicarLines()));
    const TSignature signature(Path(folder));
    ASSERT_NE(signature.Database(), nullptr);
    EXPECT_EQ(signature.Database()->Counts().Md5, 1u);
    EXPECT_EQ(signature.Database()->Counts().Body, 1u);
}

TEST(DatabaseLoadTest, AnOpaquePayloadCompilesToNothing)
{
    TempFolder folder;
    WriteStamped(Path(folder), std::vector<std::uint8_t>(16777200, 'x'));
    const TSignature signature(Path(folder));
    EXPECT_EQ(signature.Database(), nullptr);
}

// A header whose fields were changed and the file stamped again: the MD5 check passes, the
// database is refused with the loading prefix.
TEST(DatabaseLoadTest, RefusesANewerVersionAndACorruptBody)
{
    struct Case {
        std::size_t At;
        std::uint32_t Value;
        std::wstring Expected;
    };
    const Case cases[] = {
        {detect::format::VersionAt, 3, L"Signature loading failed: Unsupported signature database version 3"},
        {detect::format::Md5CountAt, 5, L"Signature loading failed: Invalid signature database: "},
        {detect::format::BodyCountAt, 0x7FFFFFFF, L"Signature loading failed: Invalid signature database: "},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        std::vector<std::uint8_t> payload = DatabasePayload(EicarLines());
        detect::format::Write32(payload.data() + c.At, c.Value);
        WriteStamped(Path(folder), payload);
        const std::wstring message = MessageOf([&] { TSignature signature(Path(folder)); });
        EXPECT_TRUE(message.starts_with(c.Expected)) << c.At;
        EXPECT_EQ(message == c.Expected, c.At == detect::format::VersionAt) << c.At;
    }
}

} // namespace
