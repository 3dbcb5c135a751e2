// Reads a ClamAV database container: the 512-byte header, then a tar (gzip-compressed in a
// .cvd; a .cld may hold it plain) through libarchive, handing each member to a visitor.
#pragma once

#include "archive/Source.h"
#include "container/Header.h"
#include "detect/Hash.h"

#include <cstdint>
#include <span>
#include <string_view>

namespace cvd {

enum class Kind {
    // Checked by the header's MD5 of every byte after it, as ClamAV does.
    Cvd,
    // Written by ClamAV's updater after applying differences: ClamAV does not check its
    // header's MD5 (which describes the container it was made from), only the .info list.
    Cld,
};

struct Limits {
    std::uint64_t Members = 1000;
    std::uint64_t MemberSize = 1ull << 30;
    // The .info member is held to check the others against it.
    std::uint64_t InfoSize = 16ull << 20;
};

class MemberVisitor {
public:
    virtual ~MemberVisitor() = default;
    // Whether the member's content is wanted; a member not wanted is read past (and checked).
    virtual bool Wants(std::string_view aName) = 0;
    // The whole content of a wanted member, in the tar's order.
    virtual void Member(std::string_view aName, std::span<const std::uint8_t> aContent) = 0;
};

struct ReadOptions {
    Kind Type = Kind::Cvd;
    // Checks the header's MD5 (for a .cvd) before any member is handed, and after the last
    // member that every member other than COPYING is listed in .info with its size and
    // SHA-256, and that .info's copy of the header agrees, as ClamAV does; also that every
    // member .info lists is there, which ClamAV does not check. The digital
    // signature of the header and of .info is never verified.
    bool Verify = true;
    Limits Bounds;
};

// Reads the container from aSource's start. Throws cvd::Error for a malformed header, a digest
// that does not match, a tar member that is not a plain file or has a path, a name that is
// not printable ASCII, a member or count beyond the limits, or a damaged tar; members handed
// before such an error must be discarded. Throws on what aSource or aVisitor throw.
Header ReadContainer(unpack::Source& aSource, detect::HashProvider& aHashes, MemberVisitor& aVisitor,
    const ReadOptions& aOptions);

// The kind a file name tells (".cvd" or ".cld", any case), false when it is neither.
bool KindFromFileName(std::string_view aName, Kind& aKind);

} // namespace cvd
