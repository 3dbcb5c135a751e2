// Quarantine of one large file beside the plain copy of it, for bench/quarantine.sh:
//   bench_quarantine copy FILE COPY        CopyFileW, then FlushFileBuffers of the copy
//   bench_quarantine quarantine FILE STORE QuarantineFile into the folder STORE
//   bench_quarantine parts                 CNG's SHA-256 and the AES keystream over 1 GiB in memory
// Prints name=value lines: the time in ms and, for the quarantine, the growth of the peak working
// set over the working set before it, in MiB.
#include "bench/BenchClock.h"
#include "platform/CngHash.h"
#include "platform/CngKeystream.h"
#include "quarantine/Quarantine.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

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

// The two passes over the content that a quarantine makes twice (writing, then reading back),
// without any file: where the time goes beside the disk.
int Parts()
{
    constexpr std::size_t kChunk = 1 << 20;
    constexpr std::size_t kChunks = 1024;
    std::vector<std::uint8_t> buffer(kChunk, 0x5A);
    double start = NowMs();
    CngHash hash(CngAlgorithm::Sha256);
    for (std::size_t i = 0; i < kChunks; ++i)
        hash.Update(buffer.data(), buffer.size());
    std::uint8_t digest[32];
    hash.Finish(digest);
    Print("sha256_ms", NowMs() - start);
    const std::uint8_t key[32] = {1};
    const std::uint8_t nonce[8] = {2};
    start = NowMs();
    CngKeystream stream(key, nonce);
    for (std::size_t i = 0; i < kChunks; ++i)
        stream.Apply(buffer.data(), buffer.size(), i * kChunk);
    Print("keystream_ms", NowMs() - start);
    return 0;
}

} // namespace

int wmain(int aCount, wchar_t** aArguments)
{
    if (aCount == 4 && std::wstring(aArguments[1]) == L"copy")
        return Copy(aArguments[2], aArguments[3]);
    if (aCount == 4 && std::wstring(aArguments[1]) == L"quarantine")
        return Quarantine(aArguments[2], aArguments[3]);
    if (aCount == 2 && std::wstring(aArguments[1]) == L"parts")
        return Parts();
    std::fprintf(stderr, "usage: bench_quarantine copy FILE COPY | quarantine FILE STORE | parts\n");
    return 2;
}
