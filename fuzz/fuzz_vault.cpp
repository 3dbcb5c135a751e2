// Arbitrary bytes as a quarantine item: the header parser must refuse them or yield a header
// that writes back to the same bytes; the path it names then goes through the restore checks,
// whose result must pass them again unchanged.
#include "vault/ItemHeader.h"
#include "vault/RestorePath.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize) {
    for (std::uint64_t itemSize : {std::uint64_t{aSize}, std::uint64_t{aSize} + 68, ~std::uint64_t{0}}) {
        const vault::ParsedHeader parsed = vault::ParseHeader(aData, aSize, itemSize);
        if (parsed.Status != vault::HeaderStatus::Ok) continue;
        const auto again = vault::SerializeHeader(parsed.Header);
        if (again.size() != parsed.HeaderLength || std::memcmp(again.data(), aData, again.size()) != 0) std::abort();
        if (const auto path = vault::CheckRestorePath(parsed.Header.Path))
            if (vault::CheckRestorePath(*path) != path) std::abort();
    }
    // The same bytes read directly as a UTF-16 path.
    std::u16string path(aSize / 2, u'\0');
    for (std::size_t i = 0; i < path.size(); ++i) path[i] = static_cast<char16_t>(aData[2 * i] | aData[2 * i + 1] << 8);
    if (const auto checked = vault::CheckRestorePath(path))
        if (vault::CheckRestorePath(*checked) != checked) std::abort();
    return 0;
}
