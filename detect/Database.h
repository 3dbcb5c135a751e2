#pragma once

#include "detect/BodySet.h"
#include "detect/HashIndex.h"
#include "detect/SignatureCounts.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace detect {

// Memory a compiled database holds beyond its payload.
struct CompiledMemory {
    std::size_t Hash = 0;
    std::size_t Body = 0;
};

// A read and compiled signature database: immutable, shareable across threads.
//
// Lifetime: names and hash records are read in place, so the payload passed to
// LoadDatabase must stay alive and unchanged for as long as the Database and every
// Match taken from it are in use.
class Database {
public:
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() = default;

    SignatureCounts Counts() const;
    CompiledMemory Memory() const;

    const HashIndex& Hashes(HashAlgorithm aAlgorithm) const { return mHashes[static_cast<std::size_t>(aAlgorithm)]; }
    const BodySet& Bodies() const { return mBodies; }

private:
    friend class PayloadReader;
    Database() = default;

    std::array<HashIndex, HashAlgorithmCount> mHashes;
    BodySet mBodies;
};

// Whether the payload starts with this format's header (else it is an opaque payload).
bool HasHeader(const std::uint8_t* aPayload, std::size_t aLength);

} // namespace detect
