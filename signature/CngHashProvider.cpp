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
    return std::make_unique<CngHasher>(aAlgorithm == detect::HashAlgorithm::Md5 ? CngAlgorithm::Md5
                                                                                : CngAlgorithm::Sha256);
}
