// Quarantine of one large file beside the plain copy of it, for bench/quarantine.sh:
//   bench_quarantine copy FILE COPY        CopyFileW, then FlushFileBuffers of the copy
//   bench_quarantine quarantine FILE STORE QuarantineFile into the folder STORE
// Prints name=value lines: the time in ms and, for the quarantine, the growth of the peak working
// set over the working set before it, in MiB.
#include "bench/BenchClock.h"
#include "quarantine/Quarantine.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

int Copy(const wchar_t* aFile, const wchar_t* aCopy)
{
    const double start = NowMs();
    if (!CopyFileW(aFile, aCopy, FALSE)) {
        std::fprintf(stderr, "CopyFileW failed: %lu\n", GetLastError());
        return 1;
    }
    HANDLE copy = CreateFileW(aCopy, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (copy == INVALID_HANDLE_VALUE || !FlushFileBuffers(copy)) {
        std::fprintf(stderr, "flushing the copy failed: %lu\n", GetLastError());
        return 1;
    }
    CloseHandle(copy);
    Print("copy_ms", NowMs() - start);
    return 0;
}

int Quarantine(const wchar_t* aFile, const wchar_t* aStore)
{
    const MemorySample before = SampleMemory();
    const double start = NowMs();
    const quarantine::Outcome outcome = quarantine::QuarantineFile(aFile, L"Bench", vault::ThreatKind::Infected, aStore);
    const double elapsed = NowMs() - start;
    if (!outcome.Succeeded) {
        std::fwprintf(stderr, L"quarantine failed: %ls\n", outcome.Message.c_str());
        return 1;
    }
    const MemorySample after = SampleMemory();
    Print("quarantine_ms", elapsed);
    Print("working_set_before_mib", before.workingSet / 1048576.0);
    Print("peak_growth_mib", (after.peakWorkingSet - before.workingSet) / 1048576.0);
    return 0;
}

} // namespace

int wmain(int aCount, wchar_t** aArguments)
{
    if (aCount == 4 && std::wstring(aArguments[1]) == L"copy")
        return Copy(aArguments[2], aArguments[3]);
    if (aCount == 4 && std::wstring(aArguments[1]) == L"quarantine")
        return Quarantine(aArguments[2], aArguments[3]);
    std::fprintf(stderr, "usage: bench_quarantine copy FILE COPY | quarantine FILE STORE\n");
    return 2;
}
