// Arbitrary payloads to the reader: it must refuse them with detect::Error or load them;
// a loaded database then scans the input itself.
#include "detect/Detect.h"
#include "native/OpenSslHashProvider.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    detect::HasHeader(aData, aSize);
    detect::InspectPayload(aData, aSize);
    std::unique_ptr<const detect::Database> database;
    try {
        database = detect::LoadDatabase(aData, aSize);
    } catch (const detect::Error&) {
        return 0;
    }
    native::OpenSslHashProvider hashes;
    detect::ObjectScan scan(*database, hashes);
    scan.Begin(aSize);
    for (std::size_t at = 0; at < aSize; at += 7) scan.Feed(aData + at, std::min<std::size_t>(7, aSize - at));
    detect::Decide(scan.End(true), true);
    return 0;
}
