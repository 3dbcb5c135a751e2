// The 512-byte text header of a ClamAV database container (.cvd, .cld): colon-separated fields
// after "ClamAV-VDB:", padded with spaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cvd {

inline constexpr std::size_t kHeaderLength = 512;

struct Header {
    std::string Time;           // as the builder wrote it, e.g. "16 Mar 2023 07-23 -0400"
    std::uint32_t Version = 0;
    std::uint32_t Signatures = 0;
    std::uint32_t Level = 0;    // the functionality level the database needs
    std::string Md5;            // 32 hex digits: the MD5 of every byte after the header
    std::string DigitalSignature;
    std::string Builder;
    std::uint64_t Stime = 0;    // seconds since 1970; 0 when the header has none (old format)
};

// Reads a header line: the 512 bytes of a container, or the first line of its .info member.
// Trailing spaces, line ends and zeros are padding. Throws cvd::Error when the magic or a
// field is missing or malformed.
Header ParseHeader(std::string_view aText);

} // namespace cvd
