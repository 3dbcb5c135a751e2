// The interface's pure text rules: elapsed time, the folder list's order, drive roots.
#include "ui/AppUtils.h"
#include "ui/ElapsedTime.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

struct ElapsedCase {
    std::uint64_t milliseconds;
    const wchar_t* separator;
    const wchar_t* expected;
};

TEST(ElapsedTimeTest, FormatsHoursMinutesSecondsPastOneDay)
{
    const ElapsedCase cases[] = {
        {0, L":", L"0:00:00"},
        {999, L":", L"0:00:00"},
        {59'999, L":", L"0:00:59"},
        {61'000, L":", L"0:01:01"},
        {3'599'000, L":", L"0:59:59"},
        {3'600'000, L":", L"1:00:00"},
        {(24 * 3600 + 61) * 1000ULL, L":", L"24:01:01"},
        {(123 * 3600 + 4 * 60 + 5) * 1000ULL, L":", L"123:04:05"},
        {3'723'000, L".", L"1.02.03"},
    };
    for (const ElapsedCase& c : cases)
        EXPECT_EQ(FormatElapsedTime(c.milliseconds, c.separator), c.expected) << c.milliseconds;
}

TEST(ElapsedTimeTest, LocaleSeparatorIsNotEmpty)
{
    EXPECT_FALSE(LocaleTimeSeparator().empty());
}

TEST(DriveRootTest, IsExactlyThreeCharacters)
{
    EXPECT_TRUE(IsDriveRoot(L"C:\\"));
    EXPECT_TRUE(IsDriveRoot(L"d:\\"));
    EXPECT_FALSE(IsDriveRoot(L"C:"));
    EXPECT_FALSE(IsDriveRoot(L"C:\\a"));
    EXPECT_FALSE(IsDriveRoot(L""));
}

TEST(WindowsVersionTest, IsTheRealMajorVersion)
{
    EXPECT_GE(WindowsMajorVersion(), 6u);
}

} // namespace
