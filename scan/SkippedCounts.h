// What a scan passes over without listing it: counted, and summed up under the findings.
#pragma once

#include <cstdint>

enum class TSkipped {
    // A process whose modules could not be listed (protected, System, or unseen from 32 bits).
    Process,
    // A registered server or module path that does not exist or cannot be resolved.
    RegisteredFile,
    // A listed file that vanished before it was read.
    VanishedFile,
};

struct TSkippedCounts {
    std::int64_t Processes = 0;
    std::int64_t RegisteredFiles = 0;
    std::int64_t VanishedFiles = 0;

    void Count(TSkipped aKind) noexcept
    {
        switch (aKind) {
        case TSkipped::Process:
            ++Processes;
            break;
        case TSkipped::RegisteredFile:
            ++RegisteredFiles;
            break;
        case TSkipped::VanishedFile:
            ++VanishedFiles;
            break;
        }
    }
    bool operator==(const TSkippedCounts&) const = default;
};
