#include "detect/Database.h"

#include "detect/PayloadFormat.h"

namespace detect {

SignatureCounts Database::Counts() const {
    return {mMd5.Count(), mSha256.Count(), mBodies.Signatures().size()};
}

CompiledMemory Database::Memory() const {
    return {sizeof mMd5 + sizeof mSha256, mBodies.MemoryBytes()};
}

bool HasHeader(const std::uint8_t* aPayload, std::size_t aLength) {
    return aLength >= sizeof format::Magic && std::memcmp(aPayload, format::Magic, sizeof format::Magic) == 0;
}

} // namespace detect
