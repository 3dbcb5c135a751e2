#include "detect/DatabaseBuilder.h"

#include "detect/Error.h"
#include "detect/PayloadFormat.h"

#include <algorithm>
#include <fstream>
#include <iterator>

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
        Entries(hash->Algorithm).push_back({*hash, mHashCount++}); // order among all hash lines
        mNamesLength += 1 + hash->Name.size();
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
    if (!kind && !ignoreList) throw Error("Not a signature file (.hdb, .hsb, .ndb, .hdu, .hsu, .ndu or .ign2)");
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
            .Body = mBodies.size()};
}

std::uint64_t DatabaseBuilder::ContentLength() const {
    std::uint64_t length = format::HeaderLength + mBodyLength + mNamesLength;
    for (HashAlgorithm algorithm : HashAlgorithms)
        length += Entries(algorithm).size() * format::RecordLength(DigestLength(algorithm));
    return length;
}

// Names are written in database order, so a record's name offset tells its line's place among
// all hash lines: the matcher reports hash findings in that order.
std::vector<std::uint32_t> DatabaseBuilder::WriteNames(std::vector<std::uint8_t>& aPayload, std::size_t aNamesAt) const {
    std::vector<const HashSignature*> inOrder(mHashCount);
    for (const auto& entries : mHashes)
        for (const HashEntry& entry : entries) inOrder[entry.Order] = &entry.Signature;
    std::vector<std::uint32_t> offsets(inOrder.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < inOrder.size(); ++i) {
        const std::string& name = inOrder[i]->Name;
        offsets[i] = static_cast<std::uint32_t>(at);
        aPayload[aNamesAt + at] = static_cast<std::uint8_t>(name.size());
        std::memcpy(&aPayload[aNamesAt + at + 1], name.data(), name.size());
        at += 1 + name.size();
    }
    return offsets;
}

void DatabaseBuilder::WriteHashes(std::vector<HashEntry> aEntries, std::uint8_t*& aOut,
                                  const std::vector<std::uint32_t>& aNameOffsets) const {
    std::sort(aEntries.begin(), aEntries.end(), [](const HashEntry& a, const HashEntry& b) {
        const std::uint64_t sa = SizeKey(a.Signature), sb = SizeKey(b.Signature);
        if (sa != sb) return sa < sb;
        const int order = std::memcmp(a.Signature.Digest.data(), b.Signature.Digest.data(), MaxDigestLength);
        return order != 0 ? order < 0 : a.Order < b.Order;
    });
    for (const HashEntry& entry : aEntries) {
        const HashSignature& s = entry.Signature;
        const std::size_t digest = DigestLength(s.Algorithm);
        std::memcpy(aOut, s.Digest.data(), digest);
        format::Write64(aOut + digest, SizeKey(s));
        format::Write32(aOut + digest + 8, aNameOffsets[entry.Order]);
        aOut += format::RecordLength(digest);
    }
}

std::vector<std::uint8_t> DatabaseBuilder::Build() const {
    const std::uint64_t content = ContentLength();
    if (content > format::MaxPayloadLength) throw DatabaseTooLargeError(content, format::MaxPayloadLength);
    std::vector<std::uint8_t> payload(std::max<std::size_t>(content, format::MinPayloadLength), 0);
    std::uint8_t* header = payload.data();
    std::memcpy(header, format::Magic, sizeof format::Magic);
    format::Write32(header + format::VersionAt, format::Version);
    format::Write32(header + format::HeaderLengthAt, format::HeaderLength);
    for (HashAlgorithm algorithm : HashAlgorithms)
        format::Write32(header + format::HashCountAt[static_cast<std::size_t>(algorithm)],
                        static_cast<std::uint32_t>(Entries(algorithm).size()));
    format::Write32(header + format::BodyCountAt, static_cast<std::uint32_t>(mBodies.size()));
    format::Write64(header + format::BodyLengthAt, mBodyLength);
    format::Write64(header + format::NamesLengthAt, mNamesLength);
    const std::size_t namesAt = static_cast<std::size_t>(content - mNamesLength);
    std::uint8_t* out = payload.data() + format::HeaderLength;
    const std::vector<std::uint32_t> nameOffsets = WriteNames(payload, namesAt);
    for (const auto& entries : mHashes) WriteHashes(entries, out, nameOffsets);
    for (const std::string& body : mBodies) {
        format::Write32(out, static_cast<std::uint32_t>(body.size()));
        std::memcpy(out + 4, body.data(), body.size());
        out += 4 + body.size();
    }
    return payload;
}

PayloadInfo InspectPayload(const std::uint8_t* aPayload, std::size_t aLength) {
    PayloadInfo info;
    if (aLength < format::HeaderLength || std::memcmp(aPayload, format::Magic, sizeof format::Magic) != 0)
        return info;
    info.Ours = true;
    info.Version = format::Read32(aPayload + format::VersionAt);
    info.Counts = {.Md5 = format::Read32(aPayload + format::Md5CountAt),
                   .Sha1 = format::Read32(aPayload + format::Sha1CountAt),
                   .Sha256 = format::Read32(aPayload + format::Sha256CountAt),
                   .Body = format::Read32(aPayload + format::BodyCountAt)};
    return info;
}

} // namespace detect
