#include "detect/Database.h"

#include "detect/PayloadFormat.h"

namespace detect {

SignatureCounts Database::Counts() const {
    SignatureCounts counts{.Body = mBodies.Signatures().size()};
    for (const PayloadTables& payload : mPayloads) {
        counts.Md5 += payload.Hash(HashAlgorithm::Md5).Count();
        counts.Sha1 += payload.Hash(HashAlgorithm::Sha1).Count();
        counts.Sha256 += payload.Hash(HashAlgorithm::Sha256).Count();
        counts.AllowMd5 += payload.Allowed[0].Count();
        counts.AllowSha256 += payload.Allowed[1].Count();
    }
    return counts;
}

CompiledMemory Database::Memory() const {
    return {mPayloads.capacity() * sizeof(PayloadTables), mBodies.MemoryBytes()};
}

bool HasHeader(const std::uint8_t* aPayload, std::size_t aLength) {
    return aLength >= sizeof format::Magic && std::memcmp(aPayload, format::Magic, sizeof format::Magic) == 0;
}

} // namespace detect
