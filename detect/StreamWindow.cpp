#include "detect/StreamWindow.h"

#include <algorithm>
#include <cstring>

namespace detect {

void StreamWindow::Reset(std::size_t aCapacity) {
    std::size_t capacity = 1;
    while (capacity < aCapacity) capacity *= 2;
    if (mBytes.size() != capacity) mBytes.assign(capacity, 0);
    mMask = capacity - 1;
    mTotal = 0;
}

void StreamWindow::Append(const std::uint8_t* aData, std::size_t aLength) {
    if (aLength > mBytes.size()) {
        mTotal += aLength - mBytes.size();
        aData += aLength - mBytes.size();
        aLength = mBytes.size();
    }
    const std::size_t at = static_cast<std::size_t>(mTotal) & mMask;
    const std::size_t first = std::min(aLength, mBytes.size() - at);
    std::memcpy(mBytes.data() + at, aData, first);
    std::memcpy(mBytes.data(), aData + first, aLength - first);
    mTotal += aLength;
}

} // namespace detect
