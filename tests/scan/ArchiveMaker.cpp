// The test archives, through archive_write to memory or to a file.
#include "tests/scan/ArchiveMaker.h"

#include "platform/Utf8.h"

#include <archive.h>
#include <archive_entry.h>

#include <memory>
#include <stdexcept>

namespace {

struct WriteFree {
    void operator()(struct archive* aArchive) const noexcept { archive_write_free(aArchive); }
};
using WritePtr = std::unique_ptr<struct archive, WriteFree>;

void Check(struct archive* aArchive, int aStatus)
{
    if (aStatus < ARCHIVE_WARN) {
        const char* text = archive_error_string(aArchive);
        throw std::runtime_error(std::string("archive_write: ") + (text != nullptr ? text : "failed"));
    }
}

WritePtr NewWriter(ArchiveKind aKind, const char* aPassphrase)
{
    WritePtr writer(archive_write_new());
    struct archive* a = writer.get();
    switch (aKind) {
    case ArchiveKind::ZipStored:
    case ArchiveKind::ZipDeflate:
        Check(a, archive_write_set_format_zip(a));
        Check(a, archive_write_set_options(a, aKind == ArchiveKind::ZipStored ? "zip:compression=store" : "zip:compression=deflate"));
        Check(a, archive_write_set_options(a, "zip:hdrcharset=UTF-8"));
        break;
    case ArchiveKind::SevenLzma2:
    case ArchiveKind::SevenLzma:
        Check(a, archive_write_set_format_7zip(a));
        Check(a, archive_write_set_options(a, aKind == ArchiveKind::SevenLzma2 ? "7zip:compression=lzma2" : "7zip:compression=lzma1"));
        break;
    case ArchiveKind::TarGz:
        Check(a, archive_write_set_format_pax_restricted(a));
        Check(a, archive_write_add_filter_gzip(a));
        break;
    case ArchiveKind::LoneGz:
        Check(a, archive_write_set_format_raw(a));
        Check(a, archive_write_add_filter_gzip(a));
        break;
    }
    if (aPassphrase != nullptr) {
        Check(a, archive_write_set_options(a, "zip:encryption=zipcrypt"));
        Check(a, archive_write_set_passphrase(a, aPassphrase));
    }
    return writer;
}

void WriteMembers(struct archive* aArchive, const std::vector<ArchiveMember>& aMembers)
{
    const std::string zeros(1 << 20, '\0');
    for (const ArchiveMember& member : aMembers) {
        const std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_copy_pathname_w(entry.get(), FromUtf8(member.Name).c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(member.Content.size() + member.Zeros));
        Check(aArchive, archive_write_header(aArchive, entry.get()));
        if (!member.Content.empty() && archive_write_data(aArchive, member.Content.data(), member.Content.size()) < 0)
            Check(aArchive, ARCHIVE_FATAL);
        for (std::uint64_t left = member.Zeros; left > 0;) {
            const std::size_t count = left < zeros.size() ? static_cast<std::size_t>(left) : zeros.size();
            if (archive_write_data(aArchive, zeros.data(), count) < 0)
                Check(aArchive, ARCHIVE_FATAL);
            left -= count;
        }
    }
    Check(aArchive, archive_write_close(aArchive));
}

} // namespace

std::string ArchiveBytes(ArchiveKind aKind, const std::vector<ArchiveMember>& aMembers, const char* aPassphrase)
{
    std::size_t capacity = 1 << 20;
    for (const ArchiveMember& member : aMembers)
        capacity += 2 * member.Content.size() + member.Zeros / 512 + 1024;
    std::string bytes(capacity, '\0');
    std::size_t used = 0;
    const WritePtr writer = NewWriter(aKind, aPassphrase);
    Check(writer.get(), archive_write_set_bytes_in_last_block(writer.get(), 1));
    Check(writer.get(), archive_write_open_memory(writer.get(), bytes.data(), bytes.size(), &used));
    WriteMembers(writer.get(), aMembers);
    bytes.resize(used);
    return bytes;
}

void WriteArchive(const std::filesystem::path& aPath, ArchiveKind aKind, const std::vector<ArchiveMember>& aMembers,
    const char* aPassphrase)
{
    const WritePtr writer = NewWriter(aKind, aPassphrase);
    Check(writer.get(), archive_write_set_bytes_in_last_block(writer.get(), 1));
    Check(writer.get(), archive_write_open_filename_w(writer.get(), aPath.wstring().c_str()));
    WriteMembers(writer.get(), aMembers);
}
