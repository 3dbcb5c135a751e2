// The .info member of a container: a copy of the header, then "name:size:sha256" for each
// database member, ended by a "DSIG:" line (the digital signature, which is not verified).
#pragma once

#include "container/Header.h"

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace cvd {

struct InfoEntry {
    std::uint64_t Size = 0;
    std::array<std::uint8_t, 32> Sha256{};
};

struct Info {
    Header Head;
    std::map<std::string, InfoEntry, std::less<>> Members;
};

// Throws cvd::Error naming the line when the text is malformed.
Info ParseInfo(std::string_view aText);

// Whether aName ends in ".info" (any case): the member ClamAV reads first.
bool IsInfoName(std::string_view aName);

} // namespace cvd
