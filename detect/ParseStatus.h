#pragma once

#include <string>

namespace detect {

enum class ParseStatus {
    Ok,          // a signature
    Ignored,     // blank line or comment
    SyntaxError, // not a valid signature: always refused
    Unsupported, // valid for ClamAV but outside the subset matched here
    OutOfLevel   // valid, but its functionality levels exclude this engine's: skipped and counted
};

struct ParseProblem {
    ParseStatus Status = ParseStatus::Ok;
    std::string Reason; // short English text, empty when Ok
};

} // namespace detect
