#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace detect {

enum class HashAlgorithm { Md5, Sha256 };

constexpr std::size_t DigestLength(HashAlgorithm aAlgorithm) {
    return aAlgorithm == HashAlgorithm::Md5 ? 16 : 32;
}

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
