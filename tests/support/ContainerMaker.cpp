// Writing a container as ClamAV's own tool does: COPYING first, the .info list, the members.
#include "tests/support/ContainerMaker.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {

struct WriteFree {
    void operator()(struct archive* aArchive) const noexcept { archive_write_free(aArchive); }
};

void Check(struct archive* aArchive, int aStatus)
{
    if (aStatus < ARCHIVE_WARN) {
        const char* text = archive_error_string(aArchive);
        throw std::runtime_error(std::string("archive_write: ") + (text != nullptr ? text : "failed"));
    }
}

la_ssize_t Append(struct archive*, void* aOut, const void* aData, std::size_t aCount)
{
    auto* out = static_cast<std::vector<std::uint8_t>*>(aOut);
    const auto* data = static_cast<const std::uint8_t*>(aData);
    out->insert(out->end(), data, data + aCount);
    return static_cast<la_ssize_t>(aCount);
}

std::string Hex(detect::HashProvider& aHashes, detect::HashAlgorithm aAlgorithm, const void* aData, std::size_t aCount)
{
    const std::unique_ptr<detect::Hasher> hasher = aHashes.Create(aAlgorithm);
    hasher->Update(static_cast<const std::uint8_t*>(aData), aCount);
    std::uint8_t digest[detect::MaxDigestLength];
    hasher->Final(digest);
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (std::size_t i = 0; i < detect::DigestLength(aAlgorithm); ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 15];
    }
    return hex;
}

std::vector<std::uint8_t> Tar(const std::vector<std::pair<std::string, std::string>>& aMembers, bool aGzip)
{
    std::vector<std::uint8_t> out;
    const std::unique_ptr<struct archive, WriteFree> writer(archive_write_new());
    struct archive* a = writer.get();
    Check(a, archive_write_set_format_ustar(a));
    if (aGzip)
        Check(a, archive_write_add_filter_gzip(a));
    Check(a, archive_write_set_bytes_in_last_block(a, 1));
    Check(a, archive_write_open(a, &out, nullptr, Append, nullptr));
    for (const auto& [name, content] : aMembers) {
        const std::unique_ptr<archive_entry, void (*)(archive_entry*)> entry(archive_entry_new(), archive_entry_free);
        archive_entry_copy_pathname(entry.get(), name.c_str());
        archive_entry_set_filetype(entry.get(), AE_IFREG);
        archive_entry_set_perm(entry.get(), 0644);
        archive_entry_set_size(entry.get(), static_cast<la_int64_t>(content.size()));
        Check(a, archive_write_header(a, entry.get()));
        if (!content.empty() && archive_write_data(a, content.data(), content.size()) < 0)
            Check(a, ARCHIVE_FATAL);
    }
    Check(a, archive_write_close(a));
    return out;
}

} // namespace

std::vector<std::uint8_t> MakeContainer(const ContainerSpec& aSpec, detect::HashProvider& aHashes)
{
    const std::string numbers = std::to_string(aSpec.Version) + ":4:" + std::to_string(aSpec.Level) + ":";
    const std::string time = "14 Nov 2023 22-13 +0000:";
    std::vector<std::pair<std::string, std::string>> members = aSpec.Members;
    if (aSpec.WithInfo) {
        std::string info = "ClamAV-VDB:" + time + numbers + "X:X:tests:" + std::to_string(aSpec.Stime) + "\n";
        for (const auto& [name, content] : aSpec.Members) {
            if (name != "COPYING")
                info += name + ":" + std::to_string(content.size()) + ":"
                    + Hex(aHashes, detect::HashAlgorithm::Sha256, content.data(), content.size()) + "\n";
        }
        info += "DSIG:X\n";
        members.insert(members.begin() + (members.empty() ? 0 : 1), {"test.info", info});
    }
    const std::vector<std::uint8_t> tar = Tar(members, aSpec.Gzip);
    std::string header = "ClamAV-VDB:" + time + numbers + Hex(aHashes, detect::HashAlgorithm::Md5, tar.data(), tar.size())
        + ":X:tests:" + std::to_string(aSpec.Stime);
    header.resize(512, ' ');
    std::vector<std::uint8_t> container(header.size() + tar.size());
    std::copy(header.begin(), header.end(), container.begin());
    std::copy(tar.begin(), tar.end(), container.begin() + static_cast<std::ptrdiff_t>(header.size()));
    return container;
}
