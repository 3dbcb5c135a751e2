// The bytes of an archive as a caller hands them to the walker: read in blocks, and moved within.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace unpack {

class Source {
public:
    virtual ~Source() = default;

    // The next block from the current position: its address in aData (valid until the next call)
    // and its length, 0 only at the end. Throws whatever stops the read; the walker passes it on.
    virtual std::size_t Next(const std::uint8_t*& aData) = 0;
    // Moves to aOffset counted from aWhence (SEEK_SET, SEEK_CUR or SEEK_END) and returns the new
    // position, or -1 when the position is outside the source. Throws as Next does.
    virtual std::int64_t Seek(std::int64_t aOffset, int aWhence) = 0;
};

// A source over bytes in memory, which must outlive it.
class MemorySource final : public Source {
public:
    MemorySource(const std::uint8_t* aData, std::size_t aSize) noexcept : data_(aData), size_(aSize) {}

    std::size_t Next(const std::uint8_t*& aData) override;
    std::int64_t Seek(std::int64_t aOffset, int aWhence) override;

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

} // namespace unpack
