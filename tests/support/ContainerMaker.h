// ClamAV database containers made by the tests: a 512-byte header, then a tar (gzip-compressed
// unless asked otherwise) written by libarchive, with a .info list of the members' SHA-256.
#pragma once

#include "detect/Hash.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ContainerSpec {
    // Name and content, in the tar's order; a .info member listing the others comes after the first.
    std::vector<std::pair<std::string, std::string>> Members;
    bool Gzip = true;
    bool WithInfo = true;
    std::uint32_t Version = 27000;
    std::uint32_t Level = 90;
    std::uint64_t Stime = 1700000000;
};

// The container's bytes, with the header's MD5 of the tar and "X" for its digital signature.
std::vector<std::uint8_t> MakeContainer(const ContainerSpec& aSpec, detect::HashProvider& aHashes);

// The platform's digests: CNG in the program's build, OpenSSL in the native one.
detect::HashProvider& SystemHashes();
