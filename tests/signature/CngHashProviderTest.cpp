// The core's digests through CNG, against the FIPS 180 and RFC 1321 "abc" vectors.
#include "signature/CngHashProvider.h"

#include <gtest/gtest.h>

#include <string>

TEST(CngHashProvider, GivesEachAlgorithmsDigestInChunks)
{
    const struct {
        detect::HashAlgorithm Algorithm;
        std::string Hex;
    } cases[] = {
        {detect::HashAlgorithm::Md5, "900150983cd24fb0d6963f7d28e17f72"},
        {detect::HashAlgorithm::Sha1, "a9993e364706816aba3e25717850c26c9cd0d89d"},
        {detect::HashAlgorithm::Sha256, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    };
    CngHashProvider provider;
    for (const auto& c : cases) {
        const auto hasher = provider.Create(c.Algorithm);
        hasher->Update(reinterpret_cast<const std::uint8_t*>("a"), 1);
        hasher->Update(reinterpret_cast<const std::uint8_t*>("bc"), 2);
        std::uint8_t digest[detect::MaxDigestLength] = {};
        hasher->Final(digest);
        std::string hex;
        for (std::size_t i = 0; i < detect::DigestLength(c.Algorithm); ++i) {
            hex += "0123456789abcdef"[digest[i] >> 4];
            hex += "0123456789abcdef"[digest[i] & 15];
        }
        EXPECT_EQ(hex, c.Hex);
    }
}
