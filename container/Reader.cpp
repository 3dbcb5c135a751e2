// Reading a container: the header, the MD5 of what follows it, then the tar through libarchive
// with each member's SHA-256 checked against the .info list at the end.
#include "container/Reader.h"

#include "container/Error.h"
#include "container/Info.h"

#include "archive/Client.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <memory>
#include <new>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cvd {

namespace {

using unpack::ArchivePtr;
using unpack::Client;
using unpack::ReadCallback;

// A member as read: its name, its size and, when checked, its SHA-256.
struct ReadMember {
    std::string Name;
    std::uint64_t Size = 0;
    std::array<std::uint8_t, 32> Sha256{};
};

class TarReader {
public:
    TarReader(unpack::Source& aSource, detect::HashProvider& aHashes, MemberVisitor& aVisitor, const ReadOptions& aOptions)
        : client_{&aSource, nullptr}, hashes_(aHashes), visitor_(aVisitor), options_(aOptions)
    {
    }

    void Read();
    void CheckAgainstInfo(const Header& aHeader) const;

private:
    ArchivePtr Open();
    void ReadEntry(struct archive* aArchive, struct archive_entry* aEntry);
    std::string EntryName(struct archive_entry* aEntry) const;
    void ReadData(struct archive* aArchive, ReadMember& aMember, std::vector<std::uint8_t>* aContent);
    [[noreturn]] void Fail(struct archive* aArchive, const std::string& aWhere) const;

    Client client_;
    detect::HashProvider& hashes_;
    MemberVisitor& visitor_;
    const ReadOptions& options_;
    std::vector<ReadMember> members_;
    std::optional<Info> info_;
};

ArchivePtr TarReader::Open()
{
    ArchivePtr archive(archive_read_new());
    if (!archive)
        throw std::bad_alloc();
    archive_read_support_filter_gzip(archive.get());
    archive_read_support_format_tar(archive.get());
    archive_read_set_read_callback(archive.get(), ReadCallback);
    archive_read_set_callback_data(archive.get(), &client_);
    if (archive_read_open1(archive.get()) != ARCHIVE_OK)
        Fail(archive.get(), "");
    return archive;
}

void TarReader::Read()
{
    const ArchivePtr archive = Open();
    for (;;) {
        struct archive_entry* entry = nullptr;
        const int status = archive_read_next_header(archive.get(), &entry);
        if (status == ARCHIVE_EOF)
            return;
        if (status != ARCHIVE_OK)
            Fail(archive.get(), "");
        if (members_.size() == options_.Bounds.Members)
            throw Error("container: more than " + std::to_string(options_.Bounds.Members) + " members");
        ReadEntry(archive.get(), entry);
    }
}

// ClamAV's own rules: plain files only, named without a path.
std::string TarReader::EntryName(struct archive_entry* aEntry) const
{
    const char* raw = archive_entry_pathname(aEntry);
    const std::string name = raw != nullptr ? raw : "";
    bool printable = !name.empty();
    for (const char c : name)
        printable = printable && c > 0x20 && c < 0x7f && c != '/' && c != '\\';
    if (!printable)
        throw Error("container: a member's name is empty, has a path or unexpected characters");
    if (archive_entry_filetype(aEntry) != AE_IFREG)
        throw Error("container: member " + name + " is not a plain file");
    return name;
}

void TarReader::ReadEntry(struct archive* aArchive, struct archive_entry* aEntry)
{
    ReadMember member;
    member.Name = EntryName(aEntry);
    const bool info = IsInfoName(member.Name);
    const std::uint64_t limit = info ? options_.Bounds.InfoSize : options_.Bounds.MemberSize;
    if (!archive_entry_size_is_set(aEntry) || archive_entry_size(aEntry) < 0
        || static_cast<std::uint64_t>(archive_entry_size(aEntry)) > limit)
        throw Error("container: member " + member.Name + " is larger than " + std::to_string(limit) + " bytes");
    if (info && info_)
        throw Error("container: a second .info member");
    const bool wanted = visitor_.Wants(member.Name);
    std::vector<std::uint8_t> content;
    ReadData(aArchive, member, wanted || info ? &content : nullptr);
    if (info) {
        info_ = ParseInfo(std::string_view(reinterpret_cast<const char*>(content.data()), content.size()));
    }
    if (wanted)
        visitor_.Member(member.Name, content);
    members_.push_back(std::move(member));
}

void TarReader::ReadData(struct archive* aArchive, ReadMember& aMember, std::vector<std::uint8_t>* aContent)
{
    const std::unique_ptr<detect::Hasher> digest = options_.Verify ? hashes_.Create(detect::HashAlgorithm::Sha256) : nullptr;
    const std::uint64_t limit = IsInfoName(aMember.Name) ? options_.Bounds.InfoSize : options_.Bounds.MemberSize;
    for (;;) {
        const void* block = nullptr;
        std::size_t size = 0;
        la_int64_t offset = 0;
        const int status = archive_read_data_block(aArchive, &block, &size, &offset);
        if (status == ARCHIVE_EOF)
            break;
        if (status != ARCHIVE_OK)
            Fail(aArchive, " in member " + aMember.Name);
        if (size > limit - aMember.Size)
            throw Error("container: member " + aMember.Name + " is larger than " + std::to_string(limit) + " bytes");
        const auto* data = static_cast<const std::uint8_t*>(block);
        aMember.Size += size;
        if (digest)
            digest->Update(data, size);
        if (aContent != nullptr)
            aContent->insert(aContent->end(), data, data + size);
    }
    if (digest)
        digest->Final(aMember.Sha256.data());
}

void TarReader::Fail(struct archive* aArchive, const std::string& aWhere) const
{
    if (client_.failure)
        std::rethrow_exception(client_.failure);
    const char* text = archive_error_string(aArchive);
    throw Error("damaged container" + aWhere + ": " + (text != nullptr ? text : "unreadable tar"));
}

// ClamAV's own check of a container's members: the .info list names each with its size and
// SHA-256, and repeats the header's numbers.
void TarReader::CheckAgainstInfo(const Header& aHeader) const
{
    if (!info_)
        throw Error("container: no .info member");
    const Header& copy = info_->Head;
    if (copy.Version != aHeader.Version || copy.Signatures != aHeader.Signatures || copy.Level != aHeader.Level
        || copy.Stime != aHeader.Stime)
        throw Error("container: the header does not match the .info member's");
    for (const ReadMember& member : members_) {
        if (member.Name == "COPYING" || IsInfoName(member.Name))
            continue;
        const auto listed = info_->Members.find(member.Name);
        if (listed == info_->Members.end())
            throw Error("container: member " + member.Name + " is not listed in .info");
        if (listed->second.Size != member.Size || listed->second.Sha256 != member.Sha256)
            throw Error("container: member " + member.Name + " does not match its SHA-256 in .info");
    }
    // A container cut short at a member's end reads as a complete tar: the list tells.
    std::set<std::string_view> read;
    for (const ReadMember& member : members_)
        read.insert(member.Name);
    for (const auto& listed : info_->Members) {
        if (!read.contains(listed.first))
            throw Error("container: member " + listed.first + " is listed in .info but missing");
    }
}

// Reads exactly aCount bytes from the source's position.
void ReadExactly(unpack::Source& aSource, std::uint8_t* aOut, std::size_t aCount)
{
    std::size_t done = 0;
    while (done < aCount) {
        const std::uint8_t* data = nullptr;
        const std::size_t count = aSource.Next(data);
        if (count == 0)
            throw Error("container: shorter than its 512-byte header");
        const std::size_t take = std::min(count, aCount - done);
        std::copy(data, data + take, aOut + done);
        done += take;
        if (take < count && aSource.Seek(static_cast<std::int64_t>(done), SEEK_SET) < 0)
            throw Error("container: cannot move within the file");
    }
}

std::string LowerHex(const std::uint8_t* aDigest, std::size_t aLength)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < aLength; ++i) {
        hex += kDigits[aDigest[i] >> 4];
        hex += kDigits[aDigest[i] & 15];
    }
    return hex;
}

std::string Lower(std::string aText)
{
    for (char& c : aText)
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
    return aText;
}

// The MD5 of every byte after the header, as the header states it.
void CheckMd5(unpack::Source& aSource, detect::HashProvider& aHashes, const Header& aHeader)
{
    const std::unique_ptr<detect::Hasher> digest = aHashes.Create(detect::HashAlgorithm::Md5);
    for (;;) {
        const std::uint8_t* data = nullptr;
        const std::size_t count = aSource.Next(data);
        if (count == 0)
            break;
        digest->Update(data, count);
    }
    std::uint8_t md5[16];
    digest->Final(md5);
    if (LowerHex(md5, sizeof md5) != Lower(aHeader.Md5))
        throw Error("container: the MD5 of its content does not match its header");
}

void SeekTo(unpack::Source& aSource, std::int64_t aOffset)
{
    if (aSource.Seek(aOffset, SEEK_SET) != aOffset)
        throw Error("container: cannot move within the file");
}

} // namespace

Header ReadContainer(unpack::Source& aSource, detect::HashProvider& aHashes, MemberVisitor& aVisitor,
    const ReadOptions& aOptions)
{
    SeekTo(aSource, 0);
    std::uint8_t head[kHeaderLength];
    ReadExactly(aSource, head, sizeof head);
    const Header header = ParseHeader(std::string_view(reinterpret_cast<const char*>(head), sizeof head));
    if (aOptions.Verify && aOptions.Type == Kind::Cvd) {
        CheckMd5(aSource, aHashes, header);
        SeekTo(aSource, kHeaderLength);
    }
    TarReader reader(aSource, aHashes, aVisitor, aOptions);
    reader.Read();
    if (aOptions.Verify)
        reader.CheckAgainstInfo(header);
    return header;
}

bool KindFromFileName(std::string_view aName, Kind& aKind)
{
    if (aName.size() < 4)
        return false;
    const std::string extension = Lower(std::string(aName.substr(aName.size() - 4)));
    if (extension == ".cvd")
        aKind = Kind::Cvd;
    else if (extension == ".cld")
        aKind = Kind::Cld;
    else
        return false;
    return true;
}

} // namespace cvd
