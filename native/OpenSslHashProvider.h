#pragma once

#include "detect/Hash.h"

namespace native {

// MD5 and SHA-256 from libcrypto's EVP interface.
class OpenSslHashProvider : public detect::HashProvider {
public:
    std::unique_ptr<detect::Hasher> Create(detect::HashAlgorithm aAlgorithm) override;
};

} // namespace native
