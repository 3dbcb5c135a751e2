#include "detect/Database.h"

#include "detect/PayloadFormat.h"

namespace detect {

SignatureCounts Database::Counts() const {
    return {.Md5 = Hashes(HashAlgorithm::Md5).Count(),
            .Sha1 = Hashes(HashAlgorithm::Sha1).Count(),
            .Sha256 = Hashes(HashAlgorithm::Sha256).Count(),
            .Body = mBodies.Signatures().size()};
}

CompiledMemory Database::Memory() const {
    return {sizeof mHashes, mBodies.MemoryBytes()};
}

bool HasHeader(const std::uint8_t* aPayload, std::size_t aLength) {
    return aLength >= sizeof format::Magic && std::memcmp(aPayload, format::Magic, sizeof format::Magic) == 0;
}

} // namespace detect
