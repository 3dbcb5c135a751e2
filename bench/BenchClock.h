// Timing and process memory for the benchmark programs.
#pragma once

#include <windows.h>
#include <psapi.h>

#include <cstdio>

inline double NowMs()
{
    LARGE_INTEGER frequency;
    LARGE_INTEGER counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

struct MemorySample {
    double workingSet = 0;
    double peakWorkingSet = 0;
    // Private commit: Wine reports PrivateUsage as 0 and counts mapped pages in the working set.
    double pagefileUsage = 0;
};

inline MemorySample SampleMemory()
{
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof(counters);
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
    return {static_cast<double>(counters.WorkingSetSize), static_cast<double>(counters.PeakWorkingSetSize),
        static_cast<double>(counters.PagefileUsage)};
}

// One result line: name=value, read by run.sh.
inline void Print(const char* aName, double aValue)
{
    std::printf("%s=%.3f\n", aName, aValue);
    std::fflush(stdout);
}
