// The in-memory source: nested archives are read from the bytes their member unpacked to.
#include "archive/Source.h"

#include <algorithm>
#include <cstdio>

namespace unpack {

namespace {
// Blocks as large as a file source's, so libarchive sees the same read pattern.
constexpr std::size_t kBlock = 64 * 1024;
}

std::size_t MemorySource::Next(const std::uint8_t*& aData)
{
    const std::size_t count = std::min(kBlock, size_ - position_);
    aData = data_ + position_;
    position_ += count;
    return count;
}

std::int64_t MemorySource::Seek(std::int64_t aOffset, int aWhence)
{
    std::int64_t base = 0;
    if (aWhence == SEEK_CUR)
        base = static_cast<std::int64_t>(position_);
    else if (aWhence == SEEK_END)
        base = static_cast<std::int64_t>(size_);
    else if (aWhence != SEEK_SET)
        return -1;
    if ((aOffset < 0 && -aOffset > base) || (aOffset > 0 && aOffset > static_cast<std::int64_t>(size_) - base))
        return -1;
    position_ = static_cast<std::size_t>(base + aOffset);
    return static_cast<std::int64_t>(position_);
}

} // namespace unpack
