#pragma once

#include <cstdint>
#include <string>

namespace detect {

enum class MatchKind { Body, Hash };

struct Match {
    std::uint32_t Signature = 0; // index in database order, running on across payloads
    std::string Name;
    MatchKind Kind = MatchKind::Body;
    std::uint64_t End = 0; // offset just past the match's end; the object's size for a hash
};

} // namespace detect
