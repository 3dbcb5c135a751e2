// Matcher benchmark (not a test): MB/s over random data with the benchmark database,
// and load+compile times.  bench_matcher BENCH.hdb BENCH.ndb [MiB]
// Portable (it also builds with MinGW): no digest is needed, as no hash signature names
// the random object's size.
#include "detect/Detect.h"

#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class NoHashes : public detect::HashProvider {
public:
    std::unique_ptr<detect::Hasher> Create(detect::HashAlgorithm) override { return nullptr; }
};

double Seconds(Clock::time_point aStart) {
    return std::chrono::duration<double>(Clock::now() - aStart).count();
}

std::vector<std::uint8_t> BuildFromFiles(int aCount, char** aFiles) {
    detect::DatabaseBuilder builder;
    for (int i = 0; i < aCount; ++i) builder.AddFile(aFiles[i]);
    return builder.Build();
}

std::vector<std::uint8_t> BuildMillionHashes() {
    detect::DatabaseBuilder builder;
    std::mt19937_64 random(7);
    char line[128];
    for (int i = 0; i < 1000000; ++i) {
        std::snprintf(line, sizeof line, "%016llx%016llx:%llu:Bench.Million.%06d",
                      static_cast<unsigned long long>(random()), static_cast<unsigned long long>(random()),
                      static_cast<unsigned long long>(1024 + random() % (16u << 20)), i);
        builder.AddLine(detect::SignatureFileKind::Md5, line);
    }
    return builder.Build();
}

std::unique_ptr<const detect::Database> TimedLoad(const char* aWhat, const std::vector<std::uint8_t>& aPayload) {
    const auto start = Clock::now();
    auto database = detect::LoadDatabase(aPayload.data(), aPayload.size());
    const detect::CompiledMemory memory = database->Memory();
    const detect::SignatureCounts counts = database->Counts();
    std::printf("%s: payload %zu bytes, load+compile %.3f s, compiled hash %zu bytes (%.2f per hash "
                "signature), body %zu bytes\n",
                aWhat, aPayload.size(), Seconds(start), memory.Hash,
                static_cast<double>(memory.Hash) / static_cast<double>(counts.Md5 + counts.Sha1 + counts.Sha256 + 1), memory.Body);
    return database;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_matcher BENCH.hdb BENCH.ndb [MiB]\n");
        return 2;
    }
    const std::size_t mebibytes = argc > 3 ? std::stoul(argv[3]) : 256;
    const std::vector<std::uint8_t> million = BuildMillionHashes();
    TimedLoad("1,000,000 .hdb", million);
    const std::vector<std::uint8_t> payload = BuildFromFiles(2, argv + 1);
    const auto database = TimedLoad("benchmark set", payload);

    std::vector<std::uint8_t> data(mebibytes << 20);
    std::mt19937_64 random(42);
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        const std::uint64_t value = random();
        for (int b = 0; b < 8; ++b) data[i + b] = static_cast<std::uint8_t>(value >> (8 * b));
    }
    NoHashes hashes;
    detect::ObjectScan scan(*database, hashes);
    const auto start = Clock::now();
    scan.Begin(data.size());
    constexpr std::size_t Block = 1 << 20;
    for (std::size_t at = 0; at < data.size(); at += Block) scan.Feed(data.data() + at, Block);
    const std::size_t matches = scan.End(true).size();
    const double seconds = Seconds(start);
    std::printf("random data: %zu MiB in %.3f s = %.1f MB/s (%zu matches)\n", mebibytes, seconds,
                static_cast<double>(data.size()) / 1e6 / seconds, matches);
    return 0;
}
