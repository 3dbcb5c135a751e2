#include "detect/NameTable.h"

#include "detect/Error.h"
#include "detect/PayloadFormat.h"
#include "detect/SignatureParser.h"

#include <algorithm>

namespace detect {
namespace {

constexpr std::size_t OffsetLength = 8;

std::size_t SharedPrefix(std::string_view a, std::string_view b) {
    const std::size_t most = std::min(a.size(), b.size());
    std::size_t shared = 0;
    while (shared < most && a[shared] == b[shared]) ++shared;
    return shared;
}

// Calls aBlock(index, offset) at each block's start and aBytes(data, length) for every byte written
// after the block table, offsets counted from the table's end.
template <class OnBlock, class OnBytes>
void Walk(const std::vector<std::string_view>& aNames, OnBlock aBlock, OnBytes aBytes) {
    std::uint64_t at = 0;
    for (std::size_t i = 0; i < aNames.size(); ++i) {
        const std::string_view name = aNames[i];
        std::size_t shared = 0;
        if (i % NameTable::NamesPerBlock == 0) {
            aBlock(i / NameTable::NamesPerBlock, at);
            const std::uint8_t length = static_cast<std::uint8_t>(name.size());
            aBytes(&length, 1);
            at += 1;
        } else {
            shared = SharedPrefix(aNames[i - 1], name);
            const std::uint8_t lengths[2] = {static_cast<std::uint8_t>(shared),
                                             static_cast<std::uint8_t>(name.size() - shared)};
            aBytes(lengths, 2);
            at += 2;
        }
        aBytes(reinterpret_cast<const std::uint8_t*>(name.data() + shared), name.size() - shared);
        at += name.size() - shared;
    }
}

} // namespace

NameTable NameTable::Offsets(const std::uint8_t* aSection, std::size_t aLength) {
    NameTable table;
    table.mSection = aSection;
    table.mLength = aLength;
    return table;
}

NameTable NameTable::Blocks(const std::uint8_t* aSection, std::size_t aLength, std::uint64_t aCount) {
    if (BlockCount(aCount) > aLength / OffsetLength) throw DatabaseError("name blocks exceed the names section");
    NameTable table;
    table.mSection = aSection;
    table.mLength = aLength;
    table.mCount = aCount;
    table.mBlocks = true;
    return table;
}

std::string NameTable::Name(std::uint32_t aKey) const {
    std::string name = mBlocks ? ByIndex(aKey) : ByOffset(aKey);
    if (!IsValidName(name)) return std::string(InvalidName);
    return name;
}

std::string NameTable::ByOffset(std::uint32_t aOffset) const {
    if (aOffset >= mLength || mLength - aOffset - 1 < mSection[aOffset]) return {};
    return std::string(reinterpret_cast<const char*>(mSection + aOffset + 1), mSection[aOffset]);
}

std::string NameTable::ByIndex(std::uint32_t aIndex) const {
    if (aIndex >= mCount) return {};
    const std::size_t tableLength = static_cast<std::size_t>(BlockCount(mCount)) * OffsetLength;
    const std::uint8_t* data = mSection + tableLength;
    const std::size_t dataLength = mLength - tableLength;
    std::uint64_t at = format::Read64(mSection + std::size_t{aIndex / NamesPerBlock} * OffsetLength);
    if (at >= dataLength) return {};
    std::string name;
    std::size_t suffix = data[at];
    at += 1;
    for (std::uint32_t k = 0;; ++k) {
        if (dataLength - at < suffix) return {};
        name.append(reinterpret_cast<const char*>(data + at), suffix);
        at += suffix;
        if (k == aIndex % NamesPerBlock) return name;
        if (dataLength - at < 2) return {};
        const std::size_t shared = data[at];
        suffix = data[at + 1];
        at += 2;
        if (shared > name.size()) return {};
        name.resize(shared);
    }
}

std::vector<std::uint8_t> NameTable::Encode(const std::vector<std::string_view>& aNames) {
    const std::size_t tableLength = static_cast<std::size_t>(BlockCount(aNames.size())) * OffsetLength;
    std::vector<std::uint8_t> section(tableLength);
    section.reserve(static_cast<std::size_t>(EncodedLength(aNames)));
    Walk(
        aNames, [&](std::size_t aBlock, std::uint64_t aAt) { format::Write64(&section[aBlock * OffsetLength], aAt); },
        [&](const std::uint8_t* aData, std::size_t aLength) { section.insert(section.end(), aData, aData + aLength); });
    return section;
}

std::uint64_t NameTable::EncodedLength(const std::vector<std::string_view>& aNames) {
    std::uint64_t length = BlockCount(aNames.size()) * OffsetLength;
    Walk(aNames, [](std::size_t, std::uint64_t) {}, [&](const std::uint8_t*, std::size_t aLength) { length += aLength; });
    return length;
}

} // namespace detect
