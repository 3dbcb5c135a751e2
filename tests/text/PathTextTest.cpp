// Path text rules: the name whose extension counts, the extended-length form, moving a path to another base.
#include "text/PathText.h"

#include <gtest/gtest.h>

TEST(PathText, TrailingDotsAndSpacesAreLeftOutOfTheName)
{
    const struct {
        const wchar_t* Name;
        const wchar_t* Trimmed;
    } cases[] = {
        {L"evil.exe", L"evil.exe"}, {L"evil.exe.", L"evil.exe"},  {L"evil.exe ", L"evil.exe"},
        {L"evil.exe. .", L"evil.exe"}, {L"name.", L"name"},       {L" lead.dll", L" lead.dll"},
        {L"...", L""},              {L". .", L""},               {L"", L""},
        {L"a.b c", L"a.b c"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(WithoutTrailingDotsAndSpaces(c.Name), c.Trimmed) << c.Name;
}

TEST(PathText, FullPathsGetTheExtendedLengthPrefixOnce)
{
    const struct {
        const wchar_t* Full;
        const wchar_t* Extended;
    } cases[] = {
        {L"C:\\Data", L"\\\\?\\C:\\Data"},
        {L"C:\\", L"\\\\?\\C:\\"},
        {L"\\\\server\\share\\dir", L"\\\\?\\UNC\\server\\share\\dir"},
        {L"\\\\.\\C:\\Data", L"\\\\?\\C:\\Data"},
        {L"\\\\?\\C:\\Data", L"\\\\?\\C:\\Data"},
        {L"\\\\?\\UNC\\server\\share", L"\\\\?\\UNC\\server\\share"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtendedLengthPath(c.Full), c.Extended) << c.Full;
}

TEST(PathText, RebaseKeepsTheWalkedNamesAsTheyAre)
{
    const struct {
        const wchar_t* Path;
        const wchar_t* From;
        const wchar_t* To;
        const wchar_t* Rebased;
    } cases[] = {
        {L"C:\\Data\\a.exe", L"C:\\Data", L"\\\\?\\C:\\Data", L"\\\\?\\C:\\Data\\a.exe"},
        {L"C:\\Data\\a.exe", L"C:\\Data\\", L"\\\\?\\C:\\Data\\", L"\\\\?\\C:\\Data\\a.exe"},
        {L"C:/Data/a.exe", L"C:/Data/", L"\\\\?\\C:\\Data\\", L"\\\\?\\C:\\Data\\a.exe"},
        {L"C:/Data\\sub\\evil.exe.", L"C:/Data", L"\\\\?\\C:\\Data", L"\\\\?\\C:\\Data\\sub\\evil.exe."},
        {L"C:\\Data\\..\\b.dll", L"C:\\Data\\..", L"\\\\?\\C:\\", L"\\\\?\\C:\\b.dll"},
        {L"D:x.dll", L"D:", L"\\\\?\\D:\\work", L"\\\\?\\D:\\work\\x.dll"},
        {L"C:\\Data", L"C:\\Data", L"\\\\?\\C:\\Data", L"\\\\?\\C:\\Data"},
        {L"\\\\srv\\share\\a.exe ", L"\\\\srv\\share", L"\\\\?\\UNC\\srv\\share", L"\\\\?\\UNC\\srv\\share\\a.exe "},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RebasePath(c.Path, c.From, c.To), c.Rebased) << c.Path;
}
