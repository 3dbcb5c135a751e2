#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace detect {

// In the order of the payload's hash tables (SHA-1's came later).
enum class HashAlgorithm { Md5, Sha256, Sha1 };
inline constexpr std::size_t HashAlgorithmCount = 3;
inline constexpr HashAlgorithm HashAlgorithms[HashAlgorithmCount] = {HashAlgorithm::Md5, HashAlgorithm::Sha256,
                                                                     HashAlgorithm::Sha1};

constexpr std::size_t DigestLength(HashAlgorithm aAlgorithm) {
    switch (aAlgorithm) {
    case HashAlgorithm::Md5: return 16;
    case HashAlgorithm::Sha1: return 20;
    case HashAlgorithm::Sha256: break;
    }
    return 32;
}
inline constexpr std::size_t MaxDigestLength = 32;

// One running digest; supplied by the platform (the core computes none itself).
class Hasher {
public:
    virtual ~Hasher() = default;
    virtual void Update(const std::uint8_t* aData, std::size_t aLength) = 0;
    virtual void Final(std::uint8_t* aDigest) = 0; // DigestLength bytes
};

class HashProvider {
public:
    virtual ~HashProvider() = default;
    virtual std::unique_ptr<Hasher> Create(HashAlgorithm aAlgorithm) = 0;
};

} // namespace detect
