// MD5 through CNG against the test suite of RFC 1321.
#include "platform/Md5.h"

#include <gtest/gtest.h>

#include <string>

TEST(Md5, MatchesRfc1321TestSuite)
{
    const struct {
        std::string input;
        std::wstring digest;
    } cases[] = {
        {"", L"d41d8cd98f00b204e9800998ecf8427e"},
        {"a", L"0cc175b9c0f1b6a831c399e269772661"},
        {"abc", L"900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", L"f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", L"c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", L"d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
            L"57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& test : cases)
        EXPECT_EQ(ToLowerHex(Md5(test.input.data(), test.input.size())), test.digest) << test.input;
}

TEST(Md5, HexIsLowercaseHighDigitFirst)
{
    Md5Digest digest{};
    digest[0] = 0xAB;
    digest[15] = 0x0F;
    EXPECT_EQ(ToLowerHex(digest), L"ab00000000000000000000000000000f");
}
