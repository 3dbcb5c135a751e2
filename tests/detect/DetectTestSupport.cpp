#include "tests/detect/DetectTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>
#include <random>

namespace detect::test {
namespace {

class FakeHasher : public Hasher {
public:
    explicit FakeHasher(std::size_t aLength) : mLength(aLength) {}
    void Update(const std::uint8_t* aData, std::size_t aLength) override {
        for (std::size_t i = 0; i < aLength; ++i) {
            for (std::size_t lane = 0; lane < 4; ++lane) {
                mState[lane] = (mState[lane] ^ aData[i]) * 0x100000001b3ULL + lane;
            }
        }
    }
    void Final(std::uint8_t* aDigest) override {
        for (std::size_t i = 0; i < mLength; ++i) aDigest[i] = static_cast<std::uint8_t>(mState[i / 8] >> (8 * (i % 8)));
    }

private:
    std::size_t mLength;
    std::uint64_t mState[4] = {0xcbf29ce484222325ULL, 1, 2, 3};
};

} // namespace

std::unique_ptr<Hasher> FakeHashProvider::Create(HashAlgorithm aAlgorithm) {
    ++Created;
    return std::make_unique<FakeHasher>(DigestLength(aAlgorithm));
}

std::string FakeDigestHex(HashAlgorithm aAlgorithm, const std::string& aData) {
    FakeHasher hasher(DigestLength(aAlgorithm));
    hasher.Update(reinterpret_cast<const std::uint8_t*>(aData.data()), aData.size());
    std::uint8_t digest[32];
    hasher.Final(digest);
    std::string hex;
    for (std::size_t i = 0; i < DigestLength(aAlgorithm); ++i) {
        hex += "0123456789abcdef"[digest[i] >> 4];
        hex += "0123456789abcdef"[digest[i] & 15];
    }
    return hex;
}

std::vector<std::uint8_t> Bytes(const std::string& aText) { return {aText.begin(), aText.end()}; }

std::vector<std::uint8_t> PayloadOf(const std::vector<std::pair<SignatureFileKind, std::string>>& aLines) {
    DatabaseBuilder builder;
    for (const auto& [kind, line] : aLines) {
        const ParsedLine parsed = builder.AddLine(kind, line);
        EXPECT_EQ(parsed.Problem.Status, ParseStatus::Ok) << line << ": " << parsed.Problem.Reason;
    }
    return builder.Build();
}

std::ostream& operator<<(std::ostream& aOut, const Found& aFound) {
    return aOut << aFound.Name << "@" << aFound.End;
}

std::vector<Found> Scan(const Database& aDatabase, const std::string& aData, std::size_t aBlock, bool aComplete,
                        std::uint64_t aDeclaredSize) {
    FakeHashProvider hashes;
    ObjectScan scan(aDatabase, hashes);
    std::mt19937 random(static_cast<unsigned>(aData.size()));
    scan.Begin(aDeclaredSize == ~std::uint64_t{0} ? aData.size() : aDeclaredSize);
    for (std::size_t at = 0; at < aData.size();) {
        const std::size_t block = std::min(aData.size() - at, aBlock != 0 ? aBlock : 1 + random() % 97);
        scan.Feed(reinterpret_cast<const std::uint8_t*>(aData.data() + at), block);
        at += block;
    }
    std::vector<Found> found;
    for (const Match& match : scan.End(aComplete)) found.push_back({std::string(match.Name), match.End});
    return found;
}

} // namespace detect::test
