// Whether bytes may be an archive the walker opens, told by their first bytes, so that files and
// members that are not archives cost no attempt to open them.
#pragma once

#include <cstddef>
#include <cstdint>

namespace unpack {

enum class Sniffed {
    No,
    Yes,
    // A program, which may carry a zip at its end (a self-extracting archive): look at the tail.
    Program,
};

// The bytes from the start (up to kSniffHead of them, fewer when the object is shorter).
constexpr std::size_t kSniffHead = 512;
Sniffed SniffHead(const std::uint8_t* aHead, std::size_t aCount) noexcept;

// The format the magic number at the start names, for zip, 7z, rar (4 and 5) and cab; Other for
// the rest (compressed streams, tar, programs, anything unknown).
enum class Format { Zip, SevenZip, Rar, Cab, Other };
Format FormatOf(const std::uint8_t* aHead, std::size_t aCount) noexcept;

// The tail a program's zip directory would end in: its last kSniffTail bytes (fewer when shorter).
constexpr std::size_t kSniffTail = 65535 + 22;
bool TailHasZipDirectory(const std::uint8_t* aTail, std::size_t aCount) noexcept;

// SniffHead and, for a program, TailHasZipDirectory, over a whole object in memory.
bool MayBeArchive(const std::uint8_t* aData, std::size_t aSize) noexcept;

} // namespace unpack
