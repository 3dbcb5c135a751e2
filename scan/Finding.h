// What a scan reports about one object: a threat it matched, or why it could not be read.
#pragma once

#include <cstdint>
#include <string>

enum class TFindingKind { Infected, Possible, NotScanned };

struct TFinding {
    // The resolved path that was read (never "memory..." or "registry").
    std::wstring Object;
    // The signature's name; for NotScanned, the system's message for ErrorCode.
    std::wstring Threat;
    TFindingKind Kind = TFindingKind::Infected;
    // NotScanned: the system error code that stopped the read.
    std::uint32_t ErrorCode = 0;
};
