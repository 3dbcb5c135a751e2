#pragma once

#include "detect/SignatureCounts.h"
#include "detect/SignatureParser.h"

#include <cstdint>
#include <array>
#include <filesystem>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace detect {

struct LineProblem {
    std::size_t Line = 0; // 1-based
    ParseProblem Problem;
};

// What adding a file or text did: signatures added, lines skipped for their functionality levels
// or dropped by name, and every refused line.
struct AddReport {
    std::uint64_t Added = 0;
    std::uint64_t LevelSkipped = 0;
    std::uint64_t Ignored = 0;
    std::vector<LineProblem> Problems;
};

// Collects signatures and writes the payload. Only lines that parse Ok are added.
class DatabaseBuilder {
public:
    ParsedLine AddLine(SignatureFileKind aKind, std::string_view aLine);
    // UTF-8 or ASCII text, LF or CRLF line ends, an optional UTF-8 byte order mark.
    AddReport AddText(SignatureFileKind aKind, std::string_view aText);
    // The kind comes from the extension (.hdb, .hsb, .ndb, their PUA variants .hdu, .hsu, .ndu,
    // the allow lists .fp and .sfp, or .ign2); throws detect::Error when it is none of these or
    // the file cannot be read.
    AddReport AddFile(const std::filesystem::path& aPath);
    // An ignore list (.ign2): one signature name per line (text after a ':' is not looked at).
    // Lines added later whose signature has one of these names are dropped and counted.
    void AddIgnoreList(std::string_view aText);

    SignatureCounts Counts() const;
    std::uint64_t ContentLength() const; // the payload's length before padding
    // signature.dat's payload, padded with zeros to format::MinPayloadLength; throws
    // DatabaseTooLargeError beyond format::MaxPayloadLength.
    std::vector<std::uint8_t> Build() const;
    // A .qdb file's payload: no padding and no cap beyond what the format can number; throws
    // DatabaseTooLargeError beyond that.
    std::vector<std::uint8_t> BuildQdb() const;

private:
    struct HashEntry {
        HashSignature Signature;
        std::uint64_t Order; // among all hash lines: the number of its name
    };
    std::vector<std::string_view> NamesInOrder() const;
    std::uint64_t ContentLength(std::uint64_t aNamesLength) const;
    std::vector<std::uint8_t> Write(std::size_t aMinLength) const;
    void WriteHeader(std::uint8_t* aHeader, std::uint64_t aNamesLength) const;
    static void WriteHashes(const std::vector<HashEntry>& aEntries, bool aNamed, std::uint8_t*& aOut);

    std::vector<HashEntry>& Entries(HashAlgorithm aAlgorithm) { return mHashes[static_cast<std::size_t>(aAlgorithm)]; }
    const std::vector<HashEntry>& Entries(HashAlgorithm aAlgorithm) const {
        return mHashes[static_cast<std::size_t>(aAlgorithm)];
    }

    std::array<std::vector<HashEntry>, HashAlgorithmCount> mHashes;
    std::array<std::vector<HashEntry>, 2> mAllowed; // MD5, SHA-256
    std::uint64_t mHashCount = 0;
    std::vector<std::string> mBodies; // canonical lines
    std::set<std::string, std::less<>> mIgnored;
    std::uint64_t mBodyLength = 0;
};

// Header facts of a payload for an "info" display; Ours is false for an opaque payload.
struct PayloadInfo {
    bool Ours = false;
    std::uint32_t Version = 0;
    SignatureCounts Counts;
};
PayloadInfo InspectPayload(const std::uint8_t* aPayload, std::size_t aLength);

} // namespace detect
