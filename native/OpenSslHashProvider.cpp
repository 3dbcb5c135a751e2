#include "native/OpenSslHashProvider.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace native {
namespace {

class EvpHasher : public detect::Hasher {
public:
    explicit EvpHasher(const EVP_MD* aDigest) : mContext(EVP_MD_CTX_new()) {
        if (mContext == nullptr || EVP_DigestInit_ex(mContext, aDigest, nullptr) != 1)
            throw std::runtime_error("EVP digest initialisation failed");
    }
    ~EvpHasher() override { EVP_MD_CTX_free(mContext); }
    EvpHasher(const EvpHasher&) = delete;
    EvpHasher& operator=(const EvpHasher&) = delete;

    void Update(const std::uint8_t* aData, std::size_t aLength) override {
        EVP_DigestUpdate(mContext, aData, aLength);
    }
    void Final(std::uint8_t* aDigest) override {
        unsigned length = 0;
        EVP_DigestFinal_ex(mContext, aDigest, &length);
    }

private:
    EVP_MD_CTX* mContext;
};

} // namespace

std::unique_ptr<detect::Hasher> OpenSslHashProvider::Create(detect::HashAlgorithm aAlgorithm) {
    switch (aAlgorithm) {
    case detect::HashAlgorithm::Md5: return std::make_unique<EvpHasher>(EVP_md5());
    case detect::HashAlgorithm::Sha1: return std::make_unique<EvpHasher>(EVP_sha1());
    case detect::HashAlgorithm::Sha256: break;
    }
    return std::make_unique<EvpHasher>(EVP_sha256());
}

} // namespace native
