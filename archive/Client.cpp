#include "archive/Client.h"

namespace unpack {

la_ssize_t ReadCallback(struct archive* aArchive, void* aClient, const void** aBuffer) noexcept
{
    auto* client = static_cast<Client*>(aClient);
    try {
        const std::uint8_t* data = nullptr;
        const std::size_t count = client->source->Next(data);
        *aBuffer = data;
        return static_cast<la_ssize_t>(count);
    } catch (...) {
        client->failure = std::current_exception();
        archive_set_error(aArchive, -1, "read failed");
        return ARCHIVE_FATAL;
    }
}

la_int64_t SeekCallback(struct archive* aArchive, void* aClient, la_int64_t aOffset, int aWhence) noexcept
{
    auto* client = static_cast<Client*>(aClient);
    try {
        const std::int64_t position = client->source->Seek(aOffset, aWhence);
        return position < 0 ? ARCHIVE_FATAL : position;
    } catch (...) {
        client->failure = std::current_exception();
        archive_set_error(aArchive, -1, "seek failed");
        return ARCHIVE_FATAL;
    }
}

} // namespace unpack
