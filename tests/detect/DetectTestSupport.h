#pragma once

#include "detect/Detect.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace detect::test {

// Deterministic stand-in digests (not MD5 or SHA-256): enough to test lookup and policy.
class FakeHashProvider : public HashProvider {
public:
    std::unique_ptr<Hasher> Create(HashAlgorithm aAlgorithm) override;
    int Created = 0;
};
std::string FakeDigestHex(HashAlgorithm aAlgorithm, const std::string& aData);

std::vector<std::uint8_t> Bytes(const std::string& aText);

// A payload from lines of one kind; fails the test on any refused line.
std::vector<std::uint8_t> PayloadOf(const std::vector<std::pair<SignatureFileKind, std::string>>& aLines);

struct Found {
    std::string Name;
    std::uint64_t End;
    bool operator==(const Found&) const = default;
};
std::ostream& operator<<(std::ostream& aOut, const Found& aFound);

// Scans aData in blocks of aBlock bytes (0: random sizes from a fixed seed).
std::vector<Found> Scan(const Database& aDatabase, const std::string& aData, std::size_t aBlock,
                        bool aComplete = true, std::uint64_t aDeclaredSize = ~std::uint64_t{0});

} // namespace detect::test
