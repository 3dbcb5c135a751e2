// Adversarial matcher benchmark (not a test): one database built to make matching slow, scanned
// over 64 MiB of random bytes (the baseline) and over files built to hit it.
//   bench_adversarial [MiB] [seconds] [FILE]   (FILE: one file's name)
// Each file is fed in 1 MiB blocks until it ends or the time limit passes, and its MB/s is taken
// over what was fed, in the thread's CPU time (the machine is shared: wall time counts other
// programs' turns). Built natively and for Windows (run under Wine).
#include "detect/Detect.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace {

double CpuSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& a) { return (static_cast<std::uint64_t>(a.dwHighDateTime) << 32) | a.dwLowDateTime; };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 1e7;
#else
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
#endif
}

class NoHashes : public detect::HashProvider {
public:
    std::unique_ptr<detect::Hasher> Create(detect::HashAlgorithm) override { return nullptr; }
};

std::string Hex(std::uint32_t aValue) {
    char text[9];
    std::snprintf(text, sizeof text, "%08x", aValue);
    return text;
}

// Four bytes that contain no 0x00, 0xff or 'A'..'D' and so occur in no adversarial file.
std::uint32_t Rare(std::mt19937& aRandom) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = value << 8 | static_cast<std::uint32_t>(0x50 + aRandom() % 0x80);
    return value;
}

std::vector<std::string> Signatures() {
    std::mt19937 random(20261211);
    std::vector<std::string> lines;
    // Many signatures sharing a prefix before a "*".
    for (int i = 0; i < 5000; ++i) lines.push_back("Adv.Prefix." + std::to_string(i) + ":0:*:41424344*" + Hex(Rare(random)));
    // Common two-byte fixed parts.
    std::vector<std::uint32_t> starts;
    for (int i = 0; i < 1000; ++i) {
        starts.push_back(Rare(random));
        lines.push_back("Adv.Common." + std::to_string(i) + ":0:*:" + Hex(starts.back()) + "*0000*ffff*" + Hex(Rare(random)));
    }
    // Wide gaps, and one long line with a wide gap and 4,000 wildcards.
    lines.push_back("Adv.Wide:0:*:414243{0-65000}4445");
    lines.push_back("Adv.WideNibble:0:*:414243{0-65000}44?5");
    std::string line = "Adv.Line:0:*:414243{0-4000}4444";
    for (int i = 0; i < 4000; ++i) line += "??";
    lines.push_back(line + "4545");
    return lines;
}

std::vector<std::uint8_t> Repeat(const std::string& aUnit, std::size_t aSize) {
    std::vector<std::uint8_t> data(aSize);
    for (std::size_t i = 0; i < aSize; ++i) data[i] = static_cast<std::uint8_t>(aUnit[i % aUnit.size()]);
    return data;
}

std::vector<std::uint8_t> Random(std::size_t aSize) {
    std::vector<std::uint8_t> data(aSize);
    std::mt19937_64 random(42);
    for (std::size_t i = 0; i + 8 <= aSize; i += 8) {
        const std::uint64_t value = random();
        for (int b = 0; b < 8; ++b) data[i + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    return data;
}

// Every first part of the common-part signatures, then zeros: each signature's later parts are live.
std::vector<std::uint8_t> StartsThenZeros(std::size_t aSize) {
    std::mt19937 random(20261211);
    std::vector<std::uint8_t> data(aSize, 0);
    std::size_t at = 0;
    for (int i = 0; i < 5000; ++i) Rare(random);
    for (int i = 0; i < 1000; ++i) {
        const std::uint32_t start = Rare(random);
        Rare(random);
        for (int b = 3; b >= 0; --b) data[at++] = static_cast<std::uint8_t>(start >> (8 * b));
    }
    return data;
}

struct Result {
    double MBps = 0;
    std::size_t Fed = 0;
    std::size_t Matches = 0;
    bool Overflowed = false;
};

Result Scan(detect::ObjectScan& aScan, const std::vector<std::uint8_t>& aData, double aSeconds) {
    constexpr std::size_t Block = 1 << 20;
    const double start = CpuSeconds();
    Result result;
    aScan.Begin(aData.size());
    while (result.Fed < aData.size()) {
        const std::size_t length = std::min(Block, aData.size() - result.Fed);
        aScan.Feed(aData.data() + result.Fed, length);
        result.Fed += length;
        if (CpuSeconds() - start > aSeconds) break;
    }
    result.Matches = aScan.End(result.Fed == aData.size()).size();
    result.Overflowed = aScan.Overflowed();
    result.MBps = static_cast<double>(result.Fed) / 1e6 / std::max(CpuSeconds() - start, 1e-6);
    return result;
}

} // namespace

int main(int argc, char** argv) {
    const std::size_t size = (argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 64) << 20;
    const double seconds = argc > 2 ? std::strtod(argv[2], nullptr) : 20;
    const std::string only = argc > 3 ? argv[3] : "";
    detect::DatabaseBuilder builder;
    for (const std::string& line : Signatures()) {
        const detect::ParsedLine parsed = builder.AddLine(detect::SignatureFileKind::Body, line);
        if (parsed.Problem.Status != detect::ParseStatus::Ok) {
            std::fprintf(stderr, "refused: %.60s: %s\n", line.c_str(), parsed.Problem.Reason.c_str());
            return 1;
        }
    }
    const std::vector<std::uint8_t> payload = builder.Build();
    const auto database = detect::LoadDatabase(payload.data(), payload.size());
    NoHashes hashes;
    detect::ObjectScan scan(*database, hashes);

    const struct {
        const char* Name;
        std::function<std::vector<std::uint8_t>()> Make;
    } files[] = {
        {"random", [&] { return Random(size); }},
        {"zeros", [&] { return std::vector<std::uint8_t>(size, 0); }},
        {"ff-repeated", [&] { return std::vector<std::uint8_t>(size, 0xff); }},
        {"starts-then-zeros", [&] { return StartsThenZeros(size); }},
        {"ABCD-repeated", [&] { return Repeat("ABCD", size); }},
        {"ABC-repeated", [&] { return Repeat("ABC", size); }},
        {"ABC+50D-repeated", [&] { return Repeat("ABC" + std::string(50, 'D'), size); }},
    };
    // The baseline is measured again before each file, so that each ratio pairs two runs made
    // back to back (the machine's load moves absolute figures).
    const std::vector<std::uint8_t> random = files[0].Make();
    double worst = 0;
    for (const auto& file : files) {
        if (file.Name == std::string("random") || (!only.empty() && only != file.Name)) continue;
        const std::vector<std::uint8_t> data = file.Make();
        const double baseline = Scan(scan, random, seconds).MBps;
        const Result result = Scan(scan, data, seconds);
        const double ratio = result.MBps / baseline;
        worst = worst == 0 ? ratio : std::min(worst, ratio);
        std::printf("%-18s %8.2f MB/s  random %8.2f MB/s  %5.3f x random  fed %zu of %zu MiB  %zu matches%s\n",
                    file.Name, result.MBps, baseline, ratio, result.Fed >> 20, data.size() >> 20, result.Matches,
                    result.Overflowed ? "  NOT SCANNED: too many partial matches" : "");
        std::fflush(stdout);
    }
    std::printf("worst / random: %.3f (target >= 0.2)\n", worst);
    return 0;
}
