// ASCII case folding: only A to Z fold, and the order is by code unit after folding.
#include "text/AsciiCase.h"

#include <gtest/gtest.h>

TEST(AsciiCaseTest, FoldsOnlyAsciiLettersToLowerCase)
{
    EXPECT_EQ(CompareIgnoringAsciiCase(L"C:\\Data", L"c:\\DATA"), 0);
    EXPECT_LT(CompareIgnoringAsciiCase(L"C:\\", L"C:\\Data"), 0);
    EXPECT_LT(CompareIgnoringAsciiCase(L"c:\\b", L"C:\\C"), 0);
    // Folded to lower case: '[' (0x5B) sorts before 'a' (0x61) even against the capital A.
    EXPECT_LT(CompareIgnoringAsciiCase(L"C:\\[x", L"C:\\Ax"), 0);
    // Letters beyond ASCII are compared as they are.
    EXPECT_NE(CompareIgnoringAsciiCase(L"C:\\\u00C4", L"C:\\\u00E4"), 0);
}

TEST(AsciiCaseTest, EqualityFoldsOnlyAsciiLetters)
{
    EXPECT_TRUE(EqualsIgnoringAsciiCase(L"-SIG", L"-sig"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"sig", L"sigx"));
    EXPECT_FALSE(EqualsIgnoringAsciiCase(L"\u00C4", L"\u00E4"));
}
