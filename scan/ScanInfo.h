// The progress record of a scan, always copied as a whole.
#pragma once

#include <cstdint>
#include <string>

struct TScanInfo {
    std::wstring ObjectName;
    std::uint8_t Progress = 0;
    // Local date-time as days (with the time of day as the fraction) when the scanners were created.
    double StartTime = 0;
    // GetTickCount64() taken at the same moment: the elapsed time is measured from it.
    std::uint64_t StartTickCount = 0;
    std::int64_t TotalCount = 0;
    std::int64_t InfectedCount = 0;
    std::int64_t PossibleCount = 0;
};
