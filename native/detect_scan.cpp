// Builds a database from signature files and scans files with it, printing every match:
//   detect_scan SIGFILE... -- FILE...
// Output: "FILE: NAME" per match, in match order, and "FILE: !overflow" for a file that exceeded
// the matcher's bounds (not scanned). Used by the differential test.
#include "detect/Detect.h"
#include "native/OpenSslHashProvider.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

namespace {

bool ScanFile(detect::ObjectScan& aScan, const std::string& aPath, std::mt19937& aRandom, bool aRandomBlocks) {
    std::ifstream in(aPath, std::ios::binary);
    if (!in) return false;
    std::vector<char> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    aScan.Begin(data.size());
    std::size_t at = 0;
    while (at < data.size()) {
        std::size_t block = aRandomBlocks ? 1 + aRandom() % 5000 : data.size();
        block = std::min(block, data.size() - at);
        aScan.Feed(reinterpret_cast<const std::uint8_t*>(data.data() + at), block);
        at += block;
    }
    for (const detect::Match& match : aScan.End(true)) std::cout << aPath << ": " << match.Name << '\n';
    if (aScan.Overflowed()) std::cout << aPath << ": !overflow\n";
    return true;
}

} // namespace

int main(int argc, char** argv) {
    detect::DatabaseBuilder builder;
    int i = 1;
    bool randomBlocks = false;
    std::vector<std::string> inputs;
    for (; i < argc && std::string(argv[i]) != "--"; ++i) {
        if (std::string(argv[i]) == "--random-blocks") randomBlocks = true;
        else inputs.push_back(argv[i]);
    }
    // Ignore lists first, as the signature tool takes them.
    std::stable_partition(inputs.begin(), inputs.end(), [](const std::string& aInput) { return detect::IsIgnoreListName(aInput); });
    for (const std::string& input : inputs) {
        const detect::AddReport report = builder.AddFile(input);
        for (const auto& problem : report.Problems)
            std::cerr << input << ':' << problem.Line << ": " << problem.Problem.Reason << '\n';
    }
    const std::vector<std::uint8_t> payload = builder.Build();
    const auto database = detect::LoadDatabase(payload.data(), payload.size());
    native::OpenSslHashProvider hashes;
    detect::ObjectScan scan(*database, hashes);
    std::mt19937 random(1);
    int failures = 0;
    for (++i; i < argc; ++i) {
        if (!ScanFile(scan, argv[i], random, randomBlocks)) {
            std::cerr << argv[i] << ": cannot read\n";
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
