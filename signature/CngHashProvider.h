// The detection core's digests from Windows' own cryptography provider.
#pragma once

#include "detect/Hash.h"

class CngHashProvider : public detect::HashProvider {
public:
    // Throws AppError when CNG fails.
    std::unique_ptr<detect::Hasher> Create(detect::HashAlgorithm aAlgorithm) override;
};
