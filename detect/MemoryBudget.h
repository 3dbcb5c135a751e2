#pragma once

#include <cstddef>
#include <string>

namespace detect {

// Compiled body signatures of one database file may take at most this multiple of its payload's size.
inline constexpr std::size_t CompiledMemoryFactor = 16;

// The memory, in bytes, that the compiled signatures of a payload of this length may take.
inline std::size_t CompiledMemoryBudget(std::size_t aPayloadLength) {
    return CompiledMemoryFactor * aPayloadLength;
}

// The refusal text when a database exceeds its budget.
inline std::string CompiledMemoryBudgetText() {
    return "body signatures need more than " + std::to_string(CompiledMemoryFactor) +
           " times the payload's size in memory";
}

} // namespace detect
