// A Source as libarchive's client: the read and seek callbacks and the read object's owner.
#pragma once

#include "archive/Source.h"

#include <archive.h>

#include <exception>
#include <memory>

namespace unpack {

struct ArchiveFree {
    void operator()(struct archive* aArchive) const noexcept { archive_read_free(aArchive); }
};
using ArchivePtr = std::unique_ptr<struct archive, ArchiveFree>;

// What the source threw waits here until libarchive returns.
struct Client {
    Source* source;
    std::exception_ptr failure;
};

la_ssize_t ReadCallback(struct archive* aArchive, void* aClient, const void** aBuffer) noexcept;
la_int64_t SeekCallback(struct archive* aArchive, void* aClient, la_int64_t aOffset, int aWhence) noexcept;

} // namespace unpack
