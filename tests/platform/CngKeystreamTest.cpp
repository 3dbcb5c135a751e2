#include "platform/CngKeystream.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

const std::uint8_t kKey[32] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15,
    16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31};
const std::uint8_t kNonce[8] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};

// AES-256 of nonce || 0 and nonce || 1 under kKey, from an independent implementation.
const std::uint8_t kFirstBlocks[32] = {0xed, 0x3e, 0xb1, 0x12, 0x3c, 0xbc, 0xb8, 0xad, 0x01, 0x64, 0xe6, 0xc3,
    0xeb, 0x0d, 0xc5, 0x3e, 0xc9, 0x94, 0x2f, 0x30, 0x30, 0x67, 0x84, 0xd0, 0xe9, 0xea, 0x87, 0xff, 0xd1, 0xd3,
    0x3a, 0x82};

TEST(CngKeystream, MatchesAesOfNonceAndBigEndianCounter)
{
    std::vector<std::uint8_t> data(32, 0);
    CngKeystream(kKey, kNonce).Apply(data.data(), data.size(), 0);
    EXPECT_EQ(data, std::vector<std::uint8_t>(std::begin(kFirstBlocks), std::end(kFirstBlocks)));
}

TEST(CngKeystream, AnySplitAtAnyOffsetGivesTheSameStream)
{
    std::vector<std::uint8_t> whole(200000);
    for (std::size_t i = 0; i < whole.size(); ++i)
        whole[i] = static_cast<std::uint8_t>(i * 31);
    const std::vector<std::uint8_t> original = whole;
    CngKeystream stream(kKey, kNonce);
    stream.Apply(whole.data(), whole.size(), 0);
    EXPECT_EQ(whole[0], original[0] ^ kFirstBlocks[0]);
    for (std::size_t piece : {std::size_t{1}, std::size_t{7}, std::size_t{16}, std::size_t{65537}}) {
        std::vector<std::uint8_t> split = original;
        for (std::size_t at = 0; at < split.size(); at += piece)
            stream.Apply(split.data() + at, std::min(piece, split.size() - at), at);
        EXPECT_EQ(split, whole) << piece;
    }
    stream.Apply(whole.data(), whole.size(), 0);
    EXPECT_EQ(whole, original);
}

TEST(CngRandom, FillsEveryByte)
{
    std::vector<std::uint8_t> a(64, 0), b(64, 0);
    CngRandom(a.data(), a.size());
    CngRandom(b.data(), b.size());
    EXPECT_NE(a, b);
    EXPECT_NE(a, std::vector<std::uint8_t>(64, 0));
}

} // namespace
