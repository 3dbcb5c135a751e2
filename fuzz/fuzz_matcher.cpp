// Arbitrary data, fed in block sizes derived from the input, against a fixed signature set
// covering every wildcard, gap, alternative, offset and target type; each result is compared
// with the reference matcher and any disagreement aborts.
#include "detect/Detect.h"
#include "fuzz/ReferenceMatcher.h"
#include "native/OpenSslHashProvider.h"

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace {

const char* const Signatures[] = {
    "F.Plain:0:*:414243",
    "F.Nibble:0:*:41?24344454?",
    "F.AnyByte:0:*:4142??434445",
    "F.Alternative:0:*:41(42|43|44)444546",
    "F.Gap:0:*:414243{2}44",
    "F.UpTo:0:*:414243{-3}4445",
    "F.Range:0:*:4142{1-4}434445",
    "F.Star:0:*:414243*4445",
    "F.AtLeast:0:*:414243{2-}44*45",
    "F.Offset:0:3:414243",
    "F.Float:0:2,5:424242",
    "F.Eof:0:EOF-4:434343",
    "F.EofFloat:0:EOF-10,4:41??424242",
    "F.Mz:1:*:4d5a41",
    "F.MzAnywhere:1:*:414141",
    "F.Prefix:0:*:41{0-2}424242",
    "F.Parts:0:*:414141{1-2}41*4242??42*43(43|44)43",
    "F.ShortParts:0:*:414141*42*43",
    "F.Repeat:0:*:616161",
    "F.Late:0:*:44444444*45454545",
    "F.Wide:0:*:414243{0-40}4445",
    "F.WideLinks:0:*:41{5-45}424242??{0-33}43*44",
    "F.WideNear:0:*:414141{40-90}42(43|44)",
    "F.Shared:0:*:414141*414141",
    "F.Wildcards:0:*:4d5a41????????41",
    "F.Trailing:0:*:5a5a5a????",
};

struct Fixture {
    Fixture() {
        detect::DatabaseBuilder builder;
        for (const char* line : Signatures) {
            const detect::ParsedLine parsed = builder.AddLine(detect::SignatureFileKind::Body, line);
            if (parsed.Problem.Status != detect::ParseStatus::Ok) {
                std::fprintf(stderr, "bad fixture signature %s: %s\n", line, parsed.Problem.Reason.c_str());
                std::abort();
            }
            parsed_.push_back(std::get<detect::BodySignature>(parsed.Signature));
        }
        payload = builder.Build();
        database = detect::LoadDatabase(payload.data(), payload.size());
        scan = std::make_unique<detect::ObjectScan>(*database, hashes);
    }
    std::vector<detect::BodySignature> parsed_;
    std::vector<std::uint8_t> payload;
    std::unique_ptr<const detect::Database> database;
    native::OpenSslHashProvider hashes;
    std::unique_ptr<detect::ObjectScan> scan;
};

// Bytes below 0x80 map to a small alphabet so that signatures match often.
std::string Decode(const std::uint8_t* aData, std::size_t aSize) {
    static const char Alphabet[] = "ABCDEMZa";
    std::string text;
    for (std::size_t i = 0; i < aSize; ++i) text += aData[i] < 0x80 ? Alphabet[aData[i] % 8] : static_cast<char>(aData[i]);
    return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    static Fixture fixture;
    if (aSize < 2) return 0;
    std::uint32_t seed = aData[0] | aData[1] << 8;
    const std::string data = Decode(aData + 2, aSize - 2);

    fixture.scan->Begin(data.size());
    for (std::size_t at = 0; at < data.size();) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t block = std::min<std::size_t>(data.size() - at, 1 + (seed >> 16) % ((seed & 1) ? 5 : 300));
        fixture.scan->Feed(reinterpret_cast<const std::uint8_t*>(data.data()) + at, block);
        at += block;
    }
    std::map<std::string, std::uint64_t> got;
    for (const detect::Match& match : fixture.scan->End(true)) got[std::string(match.Name)] = match.End;
    std::map<std::string, std::uint64_t> expected;
    for (const detect::BodySignature& signature : fixture.parsed_) {
        if (const auto end = fuzz::ReferenceMatch(signature, data)) expected[signature.Name] = *end;
    }
    if (got != expected) {
        for (const auto& [name, end] : got) std::fprintf(stderr, "core:      %s@%llu\n", name.c_str(), static_cast<unsigned long long>(end));
        for (const auto& [name, end] : expected) std::fprintf(stderr, "reference: %s@%llu\n", name.c_str(), static_cast<unsigned long long>(end));
        std::abort();
    }
    return 0;
}
