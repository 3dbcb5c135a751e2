#pragma once

#include <cstdint>

namespace detect {

// How many signatures of each kind a database holds, and the sizes of its allow lists (which
// are not signatures: Total leaves them out).
struct SignatureCounts {
    std::uint64_t Md5 = 0;
    std::uint64_t Sha1 = 0;
    std::uint64_t Sha256 = 0;
    std::uint64_t Body = 0;
    std::uint64_t AllowMd5 = 0;
    std::uint64_t AllowSha256 = 0;
    std::uint64_t Total() const { return Md5 + Sha1 + Sha256 + Body; }
};

} // namespace detect
