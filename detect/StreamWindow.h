#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace detect {

// The last bytes of a stream, addressed by absolute offset.
class StreamWindow {
public:
    // aCapacity is rounded up to a power of two.
    void Reset(std::size_t aCapacity);
    void Append(const std::uint8_t* aData, std::size_t aLength);
    std::uint64_t Total() const { return mTotal; }
    // The byte at aOffset, or -1 when it is not (or no longer) held.
    int At(std::uint64_t aOffset) const {
        if (aOffset >= mTotal || mTotal - aOffset > mBytes.size()) return -1;
        return mBytes[static_cast<std::size_t>(aOffset) & mMask];
    }

private:
    std::vector<std::uint8_t> mBytes;
    std::size_t mMask = 0;
    std::uint64_t mTotal = 0;
};

} // namespace detect
