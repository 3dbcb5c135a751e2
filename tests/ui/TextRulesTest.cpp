// The interface's pure text rules: elapsed time, the folder list's order, drive roots.
#include "ui/AppUtils.h"
#include "ui/ElapsedTime.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>
#include <utility>

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

// The user's time separator, set to known values for the test and put back at the end.
class LocaleSeparatorTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, saved_, 8), 0); }
    void TearDown() override { SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, saved_); }

private:
    wchar_t saved_[8] = {};
};

TEST_F(LocaleSeparatorTest, IsTheLocalesOwn)
{
    for (const wchar_t* separator : {L".", L"-", L":"}) {
        ASSERT_TRUE(SetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_STIME, separator)) << separator;
        EXPECT_EQ(LocaleTimeSeparator(), separator);
    }
}

TEST(DriveRootTest, IsExactlyThreeCharacters)
{
    EXPECT_TRUE(IsDriveRoot(L"C:\\"));
    EXPECT_TRUE(IsDriveRoot(L"d:\\"));
    EXPECT_FALSE(IsDriveRoot(L"C:"));
    EXPECT_FALSE(IsDriveRoot(L"C:\\a"));
    EXPECT_FALSE(IsDriveRoot(L""));
}

TEST(WindowsVersionTest, IsTheVersionTheKernelPublishes)
{
    // KUSER_SHARED_DATA, mapped at the same address into every process: NtMajorVersion at 0x26C.
    const auto kernelMajor = *reinterpret_cast<const volatile ULONG*>(0x7FFE0000 + 0x26C);
    EXPECT_EQ(WindowsMajorVersion(), kernelMajor);
}

TEST(WindowsVersionTest, FolderPickerFromVistaOn)
{
    const std::pair<DWORD, bool> cases[] = {{0, false}, {5, false}, {6, true}, {10, true}};
    for (const auto& [major, picker] : cases)
        EXPECT_EQ(HasFolderPicker(major), picker) << major;
}

} // namespace
