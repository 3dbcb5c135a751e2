#include "detect/PayloadReader.h"

#include "detect/Error.h"
#include "detect/MemoryBudget.h"
#include "detect/PayloadFormat.h"
#include "detect/SignatureParser.h"

#include <algorithm>

namespace detect {
PayloadReader::PayloadReader(const std::uint8_t* aPayload, std::size_t aLength)
    : mPayload(aPayload), mLength(aLength) {}

std::unique_ptr<Database> PayloadReader::Read() {
    ReadHeader();
    CheckPadding();
    CheckNames();
    std::unique_ptr<Database> database(new Database());
    std::uint32_t first = 0;
    for (HashAlgorithm algorithm : HashAlgorithms) {
        const auto i = static_cast<std::size_t>(algorithm);
        CheckHashes(algorithm, mPayload + mHashAt[i], mHashCount[i]);
        database->mHashes[i] = HashIndex(algorithm, mPayload + mHashAt[i], mHashCount[i], mPayload + mNamesAt, first);
        first += mHashCount[i];
    }
    ReadBodies(*database);
    return database;
}

void PayloadReader::ReadHeader() {
    if (!HasHeader(mPayload, mLength)) throw DatabaseError("no header");
    if (mLength < format::HeaderLength) throw DatabaseError("truncated header");
    const std::uint32_t version = format::Read32(mPayload + format::VersionAt);
    if (version > format::Version) throw UnsupportedVersionError(version);
    if (version == 0) throw DatabaseError("version 0");
    if (mLength > format::MaxPayloadLength) throw DatabaseError("payload larger than 50331632 bytes");
    if (format::Read32(mPayload + format::HeaderLengthAt) != format::HeaderLength)
        throw DatabaseError("wrong header length");
    if (format::Read64(mPayload + format::ReservedAt) != 0) throw DatabaseError("reserved header fields are not zero");
    for (HashAlgorithm algorithm : HashAlgorithms) {
        const auto i = static_cast<std::size_t>(algorithm);
        mHashCount[i] = format::Read32(mPayload + format::HashCountAt[i]);
    }
    mBodyCount = format::Read32(mPayload + format::BodyCountAt);
    mBodyLength = format::Read64(mPayload + format::BodyLengthAt);
    mNamesLength = format::Read64(mPayload + format::NamesLengthAt);
    // Every term is below 2^36 or checked against the length first: the sum cannot overflow.
    if (mBodyLength > mLength || mNamesLength > mLength) throw DatabaseError("section lengths exceed the payload");
    std::uint64_t end = format::HeaderLength;
    for (HashAlgorithm algorithm : HashAlgorithms) {
        const auto i = static_cast<std::size_t>(algorithm);
        mHashAt[i] = static_cast<std::size_t>(std::min<std::uint64_t>(end, mLength));
        end += std::uint64_t{mHashCount[i]} * format::RecordLength(DigestLength(algorithm));
    }
    end += mBodyLength + mNamesLength;
    if (end > mLength) throw DatabaseError("sections exceed the payload");
    mBodyAt = static_cast<std::size_t>(end - mBodyLength - mNamesLength);
    mNamesAt = mBodyAt + static_cast<std::size_t>(mBodyLength);
    mContentEnd = static_cast<std::size_t>(end);
}

void PayloadReader::CheckPadding() {
    if (std::any_of(mPayload + mContentEnd, mPayload + mLength, [](std::uint8_t b) { return b != 0; }))
        throw DatabaseError("padding is not zero");
}

void PayloadReader::CheckNames() {
    mNameStarts.assign(static_cast<std::size_t>(mNamesLength), false);
    const std::uint8_t* names = mPayload + mNamesAt;
    for (std::size_t at = 0; at < mNamesLength;) {
        const std::size_t length = names[at];
        if (at + 1 + length > mNamesLength) throw DatabaseError("name runs past the names section");
        const std::string_view name(reinterpret_cast<const char*>(names + at + 1), length);
        if (!IsValidName(name)) throw DatabaseError("invalid signature name");
        mNameStarts[at] = true;
        at += 1 + length;
    }
}

void PayloadReader::CheckHashes(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount) {
    const std::size_t digest = DigestLength(aAlgorithm), length = format::RecordLength(digest);
    for (std::size_t i = 0; i < aCount; ++i) {
        const std::uint8_t* record = aRecords + i * length;
        const std::uint32_t name = format::Read32(record + digest + 8);
        if (name >= mNamesLength || !mNameStarts[name]) throw DatabaseError("hash record names no name");
        if (i == 0) continue;
        const std::uint8_t* previous = record - length;
        const std::uint64_t size = format::Read64(record + digest), before = format::Read64(previous + digest);
        if (size < before || (size == before && std::memcmp(previous, record, digest) > 0))
            throw DatabaseError("hash records out of order");
    }
}

void PayloadReader::ReadBodies(Database& aDatabase) {
    const std::uint8_t* at = mPayload + mBodyAt;
    const std::uint8_t* end = at + mBodyLength;
    std::uint32_t first = 0; // body signatures are numbered after every hash signature
    for (std::uint32_t count : mHashCount) first += count;
    for (std::uint32_t i = 0; i < mBodyCount; ++i) {
        if (end - at < 4) throw DatabaseError("body section shorter than its count");
        const std::uint32_t length = format::Read32(at);
        if (static_cast<std::size_t>(end - at - 4) < length) throw DatabaseError("body record runs past its section");
        const std::string_view line(reinterpret_cast<const char*>(at + 4), length);
        at += 4 + length;
        const ParsedLine parsed = ParseLine(SignatureFileKind::Body, line);
        if (parsed.Problem.Status != ParseStatus::Ok || parsed.Canonical.size() != line.size()) {
            const std::string why = parsed.Problem.Reason.empty() ? "not a signature" : parsed.Problem.Reason;
            throw DatabaseError("body signature " + std::to_string(i + 1) + ": " + why);
        }
        const auto& body = std::get<BodySignature>(parsed.Signature);
        aDatabase.mBodies.Add(body, line.substr(0, body.Name.size()), first + i);
        if (aDatabase.mBodies.EstimatedBytes() > CompiledMemoryBudget(mLength))
            throw DatabaseError(CompiledMemoryBudgetText());
    }
    if (at != end) throw DatabaseError("body section longer than its records");
    aDatabase.mBodies.Finish();
}

std::unique_ptr<const Database> LoadDatabase(const std::uint8_t* aPayload, std::size_t aLength) {
    return PayloadReader(aPayload, aLength).Read();
}

} // namespace detect
