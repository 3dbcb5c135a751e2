#pragma once

#include "detect/Signature.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>

namespace fuzz {

// A slow, direct reading of the matching rules: every start of every part is tried.
// Returns the end of the signature's match with the earliest end, if any.
std::optional<std::uint64_t> ReferenceMatch(const detect::BodySignature& aSignature, const std::string& aData);

} // namespace fuzz
