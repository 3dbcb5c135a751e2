#include "detect/DatabaseBuilder.h"

#include "detect/Database.h"
#include "detect/Error.h"
#include "detect/NameTable.h"
#include "detect/PayloadFormat.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <limits>

namespace detect {
namespace {

std::uint64_t SizeKey(const HashSignature& aSignature) {
    return aSignature.AnySize ? format::AnySize : aSignature.Size;
}

std::string_view NameOf(const ParsedLine& aParsed) {
    if (const auto* hash = std::get_if<HashSignature>(&aParsed.Signature)) return hash->Name;
    return std::get<BodySignature>(aParsed.Signature).Name;
}

// Splits aText into lines without their CR, after a UTF-8 byte order mark; calls aLine(number, line).
template <typename OnLine>
void ForEachLine(std::string_view aText, OnLine aLine) {
    if (aText.substr(0, 3) == "\xEF\xBB\xBF") aText.remove_prefix(3);
    for (std::size_t number = 1; !aText.empty(); ++number) {
        const std::size_t end = aText.find('\n');
        std::string_view line = aText.substr(0, end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        aLine(number, line);
        aText.remove_prefix(end == std::string_view::npos ? aText.size() : end + 1);
    }
}

} // namespace

ParsedLine DatabaseBuilder::AddLine(SignatureFileKind aKind, std::string_view aLine) {
    ParsedLine parsed = ParseLine(aKind, aLine);
    if (parsed.Problem.Status != ParseStatus::Ok) return parsed;
    if (mIgnored.count(NameOf(parsed)) != 0) {
        parsed.Problem = {ParseStatus::Ignored, "on an ignore list"};
        return parsed;
    }
    if (auto* hash = std::get_if<HashSignature>(&parsed.Signature)) {
        if (IsAllowList(aKind)) mAllowed[aKind == SignatureFileKind::Md5Allow ? 0 : 1].push_back({*hash, 0});
        else Entries(hash->Algorithm).push_back({*hash, mHashCount++});
    } else {
        mBodies.push_back(parsed.Canonical);
        mBodyLength += 4 + parsed.Canonical.size();
    }
    return parsed;
}

AddReport DatabaseBuilder::AddText(SignatureFileKind aKind, std::string_view aText) {
    AddReport report;
    ForEachLine(aText, [&](std::size_t aNumber, std::string_view aLine) {
        const ParsedLine parsed = AddLine(aKind, aLine);
        switch (parsed.Problem.Status) {
        case ParseStatus::Ok: ++report.Added; break;
        case ParseStatus::OutOfLevel: ++report.LevelSkipped; break;
        case ParseStatus::Ignored:
            if (!parsed.Problem.Reason.empty()) ++report.Ignored; // blank and comment lines have none
            break;
        default: report.Problems.push_back({aNumber, parsed.Problem});
        }
    });
    return report;
}

void DatabaseBuilder::AddIgnoreList(std::string_view aText) {
    ForEachLine(aText, [this](std::size_t, std::string_view aLine) {
        const std::string_view name = aLine.substr(0, aLine.find(':'));
        if (!name.empty() && name.front() != '#') mIgnored.emplace(name);
    });
}

AddReport DatabaseBuilder::AddFile(const std::filesystem::path& aPath) {
    const std::u8string extension = aPath.extension().u8string();
    const std::string name(extension.begin(), extension.end());
    const auto kind = KindFromFileName(name);
    const bool ignoreList = IsIgnoreListName(name);
    if (!kind && !ignoreList)
        throw Error("Not a signature file (.hdb, .hsb, .ndb, .hdu, .hsu, .ndu, .fp, .sfp or .ign2)");
    std::ifstream in(aPath, std::ios::binary);
    if (!in.is_open()) throw Error("Cannot open the signature file");
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) throw Error("Cannot read the signature file");
    if (ignoreList) {
        AddIgnoreList(text);
        return {};
    }
    return AddText(*kind, text);
}

SignatureCounts DatabaseBuilder::Counts() const {
    return {.Md5 = Entries(HashAlgorithm::Md5).size(),
            .Sha1 = Entries(HashAlgorithm::Sha1).size(),
            .Sha256 = Entries(HashAlgorithm::Sha256).size(),
            .Body = mBodies.size(),
            .AllowMd5 = mAllowed[0].size(),
            .AllowSha256 = mAllowed[1].size()};
}

// Names are numbered in the order of the hash lines: the matcher reports hash findings in that order.
std::vector<std::string_view> DatabaseBuilder::NamesInOrder() const {
    std::vector<std::string_view> names(mHashCount);
    for (const auto& entries : mHashes)
        for (const HashEntry& entry : entries) names[entry.Order] = entry.Signature.Name;
    return names;
}

std::uint64_t DatabaseBuilder::ContentLength() const { return ContentLength(NameTable::EncodedLength(NamesInOrder())); }

std::uint64_t DatabaseBuilder::ContentLength(std::uint64_t aNamesLength) const {
    std::uint64_t length = format::HeaderLength + mBodyLength + aNamesLength;
    for (HashAlgorithm algorithm : HashAlgorithms)
        length += Entries(algorithm).size() * format::RecordLength(DigestLength(algorithm));
    for (std::size_t i = 0; i < mAllowed.size(); ++i)
        length += mAllowed[i].size() * format::RecordLength(DigestLength(AllowAlgorithms[i]));
    return length;
}

// Sorted by (size, digest), equal keys in input order; allow records name nothing (0).
void DatabaseBuilder::WriteHashes(const std::vector<HashEntry>& aEntries, bool aNamed, std::uint8_t*& aOut) {
    std::vector<const HashEntry*> sorted(aEntries.size());
    for (std::size_t i = 0; i < aEntries.size(); ++i) sorted[i] = &aEntries[i];
    std::stable_sort(sorted.begin(), sorted.end(), [](const HashEntry* a, const HashEntry* b) {
        const std::uint64_t sa = SizeKey(a->Signature), sb = SizeKey(b->Signature);
        if (sa != sb) return sa < sb;
        return std::memcmp(a->Signature.Digest.data(), b->Signature.Digest.data(), MaxDigestLength) < 0;
    });
    for (const HashEntry* entry : sorted) {
        const HashSignature& s = entry->Signature;
        const std::size_t digest = DigestLength(s.Algorithm);
        std::memcpy(aOut, s.Digest.data(), digest);
        format::Write64(aOut + digest, SizeKey(s));
        format::Write32(aOut + digest + 8, aNamed ? static_cast<std::uint32_t>(entry->Order) : 0);
        aOut += format::RecordLength(digest);
    }
}

void DatabaseBuilder::WriteHeader(std::uint8_t* aHeader, std::uint64_t aNamesLength) const {
    std::memcpy(aHeader, format::Magic, sizeof format::Magic);
    format::Write32(aHeader + format::VersionAt, format::Version);
    format::Write32(aHeader + format::HeaderLengthAt, format::HeaderLength);
    for (HashAlgorithm algorithm : HashAlgorithms)
        format::Write32(aHeader + format::HashCountAt[static_cast<std::size_t>(algorithm)],
                        static_cast<std::uint32_t>(Entries(algorithm).size()));
    format::Write32(aHeader + format::BodyCountAt, static_cast<std::uint32_t>(mBodies.size()));
    format::Write64(aHeader + format::BodyLengthAt, mBodyLength);
    format::Write64(aHeader + format::NamesLengthAt, aNamesLength);
    format::Write32(aHeader + format::NameCountAt, static_cast<std::uint32_t>(mHashCount));
    format::Write32(aHeader + format::AllowMd5CountAt, static_cast<std::uint32_t>(mAllowed[0].size()));
    format::Write32(aHeader + format::AllowSha256CountAt, static_cast<std::uint32_t>(mAllowed[1].size()));
    format::Write32(aHeader + format::NamesPerBlockAt, NameTable::NamesPerBlock);
}

std::vector<std::uint8_t> DatabaseBuilder::Write(std::size_t aMinLength) const {
    // Every count is a 4-byte field, and signature numbers must fit one too.
    const SignatureCounts counts = Counts();
    for (std::uint64_t count : {counts.Total(), counts.AllowMd5, counts.AllowSha256})
        if (count > format::MaxNames) throw Error("Signature database too large: more than 4294967295 signatures");
    const std::vector<std::uint8_t> names = NameTable::Encode(NamesInOrder());
    const std::uint64_t content = ContentLength(names.size());
    if (content > std::numeric_limits<std::size_t>::max()) throw DatabaseTooLargeError(content, std::numeric_limits<std::size_t>::max());
    std::vector<std::uint8_t> payload(std::max<std::size_t>(static_cast<std::size_t>(content), aMinLength), 0);
    WriteHeader(payload.data(), names.size());
    std::uint8_t* out = payload.data() + format::HeaderLength;
    for (const auto& entries : mHashes) WriteHashes(entries, true, out);
    for (const auto& entries : mAllowed) WriteHashes(entries, false, out);
    for (const std::string& body : mBodies) {
        format::Write32(out, static_cast<std::uint32_t>(body.size()));
        std::memcpy(out + 4, body.data(), body.size());
        out += 4 + body.size();
    }
    if (!names.empty()) std::memcpy(out, names.data(), names.size());
    return payload;
}

std::vector<std::uint8_t> DatabaseBuilder::Build() const {
    const std::uint64_t content = ContentLength();
    if (content > format::MaxPayloadLength) throw DatabaseTooLargeError(content, format::MaxPayloadLength);
    return Write(format::MinPayloadLength);
}

std::vector<std::uint8_t> DatabaseBuilder::BuildQdb() const { return Write(0); }

PayloadInfo InspectPayload(const std::uint8_t* aPayload, std::size_t aLength) {
    PayloadInfo info;
    if (aLength < format::HeaderLength1 || std::memcmp(aPayload, format::Magic, sizeof format::Magic) != 0)
        return info;
    info.Ours = true;
    info.Version = format::Read32(aPayload + format::VersionAt);
    info.Counts = {.Md5 = format::Read32(aPayload + format::Md5CountAt),
                   .Sha1 = format::Read32(aPayload + format::Sha1CountAt),
                   .Sha256 = format::Read32(aPayload + format::Sha256CountAt),
                   .Body = format::Read32(aPayload + format::BodyCountAt)};
    if (info.Version >= 2 && aLength >= format::HeaderLength) {
        info.Counts.AllowMd5 = format::Read32(aPayload + format::AllowMd5CountAt);
        info.Counts.AllowSha256 = format::Read32(aPayload + format::AllowSha256CountAt);
    }
    return info;
}

} // namespace detect
