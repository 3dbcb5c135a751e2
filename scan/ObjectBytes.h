// The bytes of the object being read, kept for the look inside archives: its first bytes always,
// and the whole object while it is small and its first bytes may begin an archive, so that its
// members are read from memory instead of from the file a second time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class TObjectBytes {
public:
    // The largest object kept whole.
    static constexpr std::size_t WholeLimit = 1 << 20;

    // A new object; aSize is its size as the file reports it. Keeps the buffer's capacity.
    void Begin(std::uint64_t aSize);
    // A new object of which only the first bytes are kept.
    void BeginHead();
    // The object's next aCount bytes.
    void Add(const std::uint8_t* aData, std::size_t aCount);

    // Its first bytes, up to unpack::kSniffHead of them.
    const std::uint8_t* Head() const noexcept { return FBytes.data(); }
    std::size_t HeadSize() const noexcept;
    // Once the object was read to its end: whether Data holds all of it.
    bool Whole() const noexcept { return FWhole; }
    const std::uint8_t* Data() const noexcept { return FBytes.data(); }
    std::size_t Size() const noexcept { return FBytes.size(); }

private:
    // Keeps the head only from now on.
    void DropBody();

    std::vector<std::uint8_t> FBytes;
    bool FWhole = false;
};
