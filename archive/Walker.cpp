// The walk over libarchive: the source behind its read and seek callbacks, the enabled formats,
// each member's blocks within the limits, and nested archives from memory.
#include "archive/Walker.h"

#include "archive/Client.h"
#include "archive/Sniff.h"

#include <archive.h>
#include <archive_entry.h>

#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <string>

namespace unpack {

namespace {

// Never support_format_all: it takes plain text for an mtree archive. The raw format stands for
// a lone compressed file, and counts only once a compression filter has matched. A head that names
// its format gets that format's reader alone (with tar and raw, which bid on any bytes): setting up
// the others costs more than reading a small archive, and none of them could claim it.
void EnableFormats(struct archive* aArchive, Format aFormat)
{
    switch (aFormat) {
    case Format::Zip:
        archive_read_support_format_zip(aArchive);
        break;
    case Format::SevenZip:
        archive_read_support_format_7zip(aArchive);
        break;
    case Format::Rar:
        archive_read_support_format_rar(aArchive);
        archive_read_support_format_rar5(aArchive);
        break;
    case Format::Cab:
        archive_read_support_format_cab(aArchive);
        break;
    case Format::Other:
        archive_read_support_filter_gzip(aArchive);
        archive_read_support_filter_bzip2(aArchive);
        archive_read_support_filter_xz(aArchive);
        archive_read_support_format_zip(aArchive);
        archive_read_support_format_7zip(aArchive);
        archive_read_support_format_rar(aArchive);
        archive_read_support_format_rar5(aArchive);
        archive_read_support_format_cab(aArchive);
        break;
    }
    archive_read_support_format_tar(aArchive);
    archive_read_support_format_raw(aArchive);
}

ArchivePtr Open(Client& aClient, Format aFormat)
{
    ArchivePtr archive(archive_read_new());
    if (!archive)
        throw std::bad_alloc();
    EnableFormats(archive.get(), aFormat);
    archive_read_set_read_callback(archive.get(), ReadCallback);
    archive_read_set_seek_callback(archive.get(), SeekCallback);
    archive_read_set_callback_data(archive.get(), &aClient);
    return archive;
}

// The format aSource's first bytes name; the source is at its start afterwards.
Format PeekFormat(Source& aSource)
{
    aSource.Seek(0, SEEK_SET);
    const std::uint8_t* head = nullptr;
    const std::size_t count = aSource.Next(head);
    const Format format = FormatOf(head, count);
    aSource.Seek(0, SEEK_SET);
    return format;
}

// A source no format but raw took, and no filter uncompressed: not an archive.
bool IsPlainFile(struct archive* aArchive) noexcept
{
    return archive_format(aArchive) == ARCHIVE_FORMAT_RAW && archive_filter_code(aArchive, 0) == ARCHIVE_FILTER_NONE;
}

void RethrowFailure(const Client& aClient)
{
    if (aClient.failure)
        std::rethrow_exception(aClient.failure);
}

bool Mentions(const std::string& aText, const char* aWord)
{
    return aText.find(aWord) != std::string::npos;
}

} // namespace

void Walker::Walk(Source& aSource)
{
    total_ = 0;
    stopped_ = false;
    refused_.reset();
    WalkArchive(aSource, 0);
}

void Walker::WalkArchive(Source& aSource, std::size_t aDepth)
{
    const Format format = PeekFormat(aSource);
    Client client{&aSource, nullptr};
    current_ = &client;
    const ArchivePtr archive = Open(client, format);
    const int opened = archive_read_open1(archive.get());
    RethrowFailure(client);
    if (opened < ARCHIVE_WARN) {
        Failed(archive.get(), aDepth);
        return;
    }
    for (std::uint64_t entries = 0; !stopped_; ++entries) {
        struct archive_entry* entry = nullptr;
        const int status = archive_read_next_header(archive.get(), &entry);
        RethrowFailure(client);
        if (status == ARCHIVE_EOF)
            return;
        if (entries == 0 && status >= ARCHIVE_WARN && IsPlainFile(archive.get()))
            return;
        if (entries == limits_.Members) {
            Refuse(Refusal::Members, aDepth);
            return;
        }
        if (status < ARCHIVE_WARN) {
            Failed(archive.get(), aDepth);
            return;
        }
        if (ReadEntry(archive.get(), entry, aDepth) != Next::Member)
            return;
    }
}

Walker::Next Walker::ReadEntry(struct archive* aArchive, struct archive_entry* aEntry, std::size_t aDepth)
{
    if (archive_entry_is_encrypted(aEntry)) {
        Refuse(Refusal::Encrypted, aDepth);
        return Next::Member;
    }
    if (archive_entry_filetype(aEntry) != AE_IFREG)
        return Next::Member;
    const wchar_t* name = archive_entry_pathname_w(aEntry);
    const std::int64_t size = archive_entry_size_is_set(aEntry) ? archive_entry_size(aEntry) : -1;
    visitor_.BeginMember(name != nullptr ? std::wstring_view(name) : std::wstring_view(L"?"), size);
    Next next = Next::Member;
    try {
        next = ReadMember(aArchive, aDepth);
    } catch (...) {
        visitor_.EndMember();
        throw;
    }
    visitor_.EndMember();
    return next;
}

// The member's blocks, then the archive it is, when it is one and complete.
Walker::Next Walker::ReadMember(struct archive* aArchive, std::size_t aDepth)
{
    std::vector<std::uint8_t> held;
    bool complete = false;
    Next next = Next::Member;
    try {
        next = ReadBlocks(aArchive, aDepth, held, complete);
    } catch (...) {
        visitor_.EndMemberData(false);
        throw;
    }
    visitor_.EndMemberData(complete);
    if (complete && !held.empty() && MayBeArchive(held.data(), held.size()))
        WalkHeld(held, aDepth + 1);
    return stopped_ ? Next::Stop : next;
}

Walker::Next Walker::ReadBlocks(struct archive* aArchive, std::size_t aDepth, std::vector<std::uint8_t>& aHeld, bool& aComplete)
{
    const la_int64_t packedStart = archive_filter_bytes(aArchive, -1);
    std::uint64_t unpacked = 0;
    bool holding = true;
    for (;;) {
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(aArchive, &block, &size, &offset);
        if (status == ARCHIVE_EOF) {
            aComplete = true;
            return Next::Member;
        }
        if (status < ARCHIVE_WARN) {
            Failed(aArchive, aDepth);
            return status == ARCHIVE_FATAL ? Next::Archive : Next::Member;
        }
        const auto* data = static_cast<const std::uint8_t*>(block);
        visitor_.MemberData(data, size);
        unpacked += size;
        total_ += size;
        // Held while it may be an archive: its first bytes decide, its size may end it.
        if (holding) {
            aHeld.insert(aHeld.end(), data, data + size);
            if (aHeld.size() >= kSniffHead) {
                const Sniffed sniffed = SniffHead(aHeld.data(), kSniffHead);
                if (sniffed == Sniffed::No || aHeld.size() > limits_.NestedSize) {
                    if (sniffed == Sniffed::Yes)
                        Refuse(Refusal::NestedSize, aDepth + 1);
                    holding = false;
                    std::vector<std::uint8_t>().swap(aHeld);
                }
            }
        }
        if (visitor_.Stopped()) {
            stopped_ = true;
            return Next::Stop;
        }
        if (unpacked > limits_.MemberSize) {
            Refuse(Refusal::MemberSize, aDepth);
            return Next::Member;
        }
        if (total_ > limits_.TotalSize) {
            Refuse(Refusal::TotalSize, aDepth);
            stopped_ = true;
            return Next::Stop;
        }
        const auto packed = static_cast<std::uint64_t>(archive_filter_bytes(aArchive, -1) - packedStart);
        if (unpacked >= limits_.RatioFloor && unpacked / limits_.Ratio > packed) {
            Refuse(Refusal::Ratio, aDepth);
            return Next::Member;
        }
    }
}

void Walker::WalkHeld(const std::vector<std::uint8_t>& aHeld, std::size_t aDepth)
{
    if (aDepth > limits_.Nesting) {
        Refuse(Refusal::Nesting, aDepth);
        return;
    }
    Client* const outer = current_;
    MemorySource source(aHeld.data(), aHeld.size());
    WalkArchive(source, aDepth);
    current_ = outer;
}

void Walker::Refuse(Refusal aRefusal, std::size_t aDepth, std::string_view aDetail)
{
    const auto cause = static_cast<std::size_t>(aRefusal);
    if (refused_.test(cause))
        return;
    refused_.set(cause);
    visitor_.Refused(aRefusal, aDetail, aDepth);
}

// A failure the library reports: the member or the archive ends with its cause. One the source
// caused is not the archive's: what the source threw is thrown on instead.
void Walker::Failed(struct archive* aArchive, std::size_t aDepth)
{
    if (current_ != nullptr)
        RethrowFailure(*current_);
    const char* text = archive_error_string(aArchive);
    const std::string message = text != nullptr ? text : "";
    if (Mentions(message, "ncrypt"))
        Refuse(Refusal::Encrypted, aDepth);
    else if (Mentions(message, "nsupported") || Mentions(message, "not supported"))
        Refuse(Refusal::Unsupported, aDepth, message);
    else
        Refuse(Refusal::Damaged, aDepth, message);
}

} // namespace unpack
