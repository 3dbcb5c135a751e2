// What the reader keeps of an object for the look inside archives.
#include "scan/ObjectBytes.h"

#include "archive/Sniff.h"

#include <algorithm>

void TObjectBytes::Begin(std::uint64_t aSize)
{
    FBytes.clear();
    FWhole = aSize <= WholeLimit;
}

void TObjectBytes::BeginHead()
{
    FBytes.clear();
    FWhole = false;
}

void TObjectBytes::Add(const std::uint8_t* aData, std::size_t aCount)
{
    if (FWhole && FBytes.size() + aCount > WholeLimit)
        DropBody();
    const std::size_t kept = FWhole ? aCount : std::min(aCount, unpack::kSniffHead - std::min(FBytes.size(), unpack::kSniffHead));
    const bool hadHead = FBytes.size() >= unpack::kSniffHead;
    FBytes.insert(FBytes.end(), aData, aData + kept);
    if (FWhole && !hadHead && FBytes.size() >= unpack::kSniffHead &&
        unpack::SniffHead(FBytes.data(), unpack::kSniffHead) == unpack::Sniffed::No)
        DropBody();
}

std::size_t TObjectBytes::HeadSize() const noexcept
{
    return std::min(FBytes.size(), unpack::kSniffHead);
}

void TObjectBytes::DropBody()
{
    FWhole = false;
    if (FBytes.size() > unpack::kSniffHead)
        FBytes.resize(unpack::kSniffHead);
}
