// detect::Hasher over CngHash.
#include "signature/CngHashProvider.h"

#include "platform/CngHash.h"

namespace {

class CngHasher : public detect::Hasher {
public:
    explicit CngHasher(CngAlgorithm aAlgorithm) : hash_(aAlgorithm) {}
    void Update(const std::uint8_t* aData, std::size_t aLength) override { hash_.Update(aData, aLength); }
    void Final(std::uint8_t* aDigest) override { hash_.Finish(aDigest); }

private:
    CngHash hash_;
};

} // namespace

std::unique_ptr<detect::Hasher> CngHashProvider::Create(detect::HashAlgorithm aAlgorithm)
{
    switch (aAlgorithm) {
    case detect::HashAlgorithm::Md5: return std::make_unique<CngHasher>(CngAlgorithm::Md5);
    case detect::HashAlgorithm::Sha1: return std::make_unique<CngHasher>(CngAlgorithm::Sha1);
    case detect::HashAlgorithm::Sha256: break;
    }
    return std::make_unique<CngHasher>(CngAlgorithm::Sha256);
}
