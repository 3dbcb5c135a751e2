// Arbitrary payloads to the reader: it must refuse them with detect::Error or load them;
// a loaded database then scans the input itself, and every name a record could point at is
// decoded. An input starting with the payload magic is one payload; any other is split into
// one to three payloads (first byte: how many; then a 2-byte length before each but the last).
#include "detect/Detect.h"
#include "detect/PayloadFormat.h"
#include "native/OpenSslHashProvider.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

std::vector<detect::PayloadView> Split(const std::uint8_t* aData, std::size_t aSize) {
    if (aSize == 0 || aData[0] == static_cast<std::uint8_t>(detect::format::Magic[0])) return {{aData, aSize}};
    const std::size_t count = 1 + aData[0] % 3;
    std::size_t at = 1;
    std::vector<detect::PayloadView> views;
    for (std::size_t i = 0; i + 1 < count && at + 2 <= aSize; ++i) {
        const std::size_t length = std::min<std::size_t>(aData[at] | aData[at + 1] << 8, aSize - at - 2);
        views.push_back({aData + at + 2, length});
        at += 2 + length;
    }
    views.push_back({aData + at, aSize - at});
    return views;
}

// Looks every name up by the keys records hold, and by keys near the table's ends.
void DecodeNames(const detect::Database& aDatabase, const std::uint8_t* aData, std::size_t aSize) {
    for (const detect::PayloadTables& payload : aDatabase.Payloads()) {
        for (std::uint32_t key = 0; key < 40; ++key) payload.Names.Name(key);
        for (std::size_t at = 0; at + 4 <= aSize && at < 256; at += 4) payload.Names.Name(detect::format::Read32(aData + at));
        std::vector<detect::HashHit> hits;
        for (const detect::HashIndex& index : payload.Hashes) {
            std::uint8_t digest[detect::MaxDigestLength] = {};
            std::memcpy(digest, aData, std::min(aSize, sizeof digest));
            index.Find(aSize, digest, hits);
            index.Contains(aSize, digest);
        }
        for (const detect::HashHit& hit : hits) payload.Names.Name(hit.NameKey);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    detect::HasHeader(aData, aSize);
    detect::InspectPayload(aData, aSize);
    const std::vector<detect::PayloadView> views = Split(aData, aSize);
    std::unique_ptr<const detect::Database> database;
    try {
        detect::CancelPoll never;
        database = views.size() == 1 ? detect::LoadDatabase(aData, aSize) : detect::LoadDatabases(views, never);
    } catch (const detect::Error&) {
        return 0;
    }
    DecodeNames(*database, aData, aSize);
    native::OpenSslHashProvider hashes;
    detect::ObjectScan scan(*database, hashes);
    scan.Begin(aSize);
    for (std::size_t at = 0; at < aSize; at += 7) scan.Feed(aData + at, std::min<std::size_t>(7, aSize - at));
    detect::Decide(scan.End(true), true);
    return 0;
}
