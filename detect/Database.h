#pragma once

#include "detect/BodySet.h"
#include "detect/HashIndex.h"
#include "detect/NameTable.h"
#include "detect/SignatureCounts.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace detect {

// Memory a compiled database holds beyond its payloads.
struct CompiledMemory {
    std::size_t Hash = 0;
    std::size_t Body = 0;
};

// The allow lists' digests, in the order of their tables: MD5 (.fp), then SHA-256 (.sfp).
inline constexpr std::size_t AllowListCount = 2;
inline constexpr HashAlgorithm AllowAlgorithms[AllowListCount] = {HashAlgorithm::Md5, HashAlgorithm::Sha256};

// What one payload contributes beyond its body signatures, read in place.
struct PayloadTables {
    std::array<HashIndex, HashAlgorithmCount> Hashes;   // in HashAlgorithms order
    std::array<HashIndex, AllowListCount> Allowed;      // in AllowAlgorithms order
    NameTable Names;

    const HashIndex& Hash(HashAlgorithm aAlgorithm) const { return Hashes[static_cast<std::size_t>(aAlgorithm)]; }
};

// A read and compiled signature database of one payload or more: immutable, shareable across threads.
//
// Lifetime: names and hash records are read in place, so the payloads passed to LoadDatabase or
// LoadDatabases must stay alive and unchanged for as long as the Database is in use. Matches own
// their names.
class Database {
public:
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;
    ~Database() = default;

    SignatureCounts Counts() const;
    CompiledMemory Memory() const;

    // In load order.
    const std::vector<PayloadTables>& Payloads() const { return mPayloads; }
    const BodySet& Bodies() const { return mBodies; }
    // Whether any payload holds an allow list.
    bool HasAllowLists() const { return mHasAllowLists; }

private:
    friend class PayloadReader;
    Database() = default;

    std::vector<PayloadTables> mPayloads;
    BodySet mBodies;
    bool mHasAllowLists = false;
};

// Whether the payload starts with this format's header (else it is an opaque payload).
bool HasHeader(const std::uint8_t* aPayload, std::size_t aLength);

} // namespace detect
