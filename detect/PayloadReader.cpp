#include "detect/PayloadReader.h"

#include "detect/Error.h"
#include "detect/MemoryBudget.h"
#include "detect/PayloadFormat.h"
#include "detect/SignatureParser.h"

#include <algorithm>
#include <limits>

namespace detect {
namespace {

constexpr std::uint64_t MaxSignatures = std::numeric_limits<std::uint32_t>::max();

bool AllZero(const std::uint8_t* aBegin, const std::uint8_t* aEnd) {
    return std::all_of(aBegin, aEnd, [](std::uint8_t b) { return b == 0; });
}

} // namespace

PayloadReader::PayloadReader(const std::uint8_t* aPayload, std::size_t aLength, CancelPoll& aPoll)
    : mPayload(aPayload), mLength(aLength), poll_(aPoll) {}

std::unique_ptr<Database> PayloadReader::ReadAll(std::span<const PayloadView> aPayloads, CancelPoll& aPoll,
                                                 bool aTellPayload) {
    std::unique_ptr<Database> database(new Database());
    database->mPayloads.reserve(aPayloads.size());
    std::uint64_t first = 0;
    for (std::size_t i = 0; i < aPayloads.size(); ++i) {
        try {
            first = PayloadReader(aPayloads[i].Data, aPayloads[i].Length, aPoll).ReadInto(*database, first);
        } catch (Error& error) {
            if (aTellPayload) error.SetPayload(i);
            throw;
        }
    }
    database->mBodies.Finish(aPoll);
    return database;
}

std::uint64_t PayloadReader::ReadInto(Database& aDatabase, std::uint64_t aFirst) {
    ReadHeader();
    CheckPadding();
    PayloadTables tables;
    if (mVersion == 1) {
        CheckNames();
        tables.Names = NameTable::Offsets(mPayload + mNamesAt, static_cast<std::size_t>(mNamesLength));
    } else {
        tables.Names = NameTable::Blocks(mPayload + mNamesAt, static_cast<std::size_t>(mNamesLength), mNameCount);
    }
    std::uint64_t first = aFirst;
    for (HashAlgorithm algorithm : HashAlgorithms) {
        const auto i = static_cast<std::size_t>(algorithm);
        if (mVersion == 1) CheckHashes(algorithm, mPayload + mHashAt[i], mHashCount[i]);
        tables.Hashes[i] = HashIndex(algorithm, mPayload + mHashAt[i], mHashCount[i], static_cast<std::uint32_t>(first));
        first += mHashCount[i];
    }
    for (std::size_t i = 0; i < AllowListCount; ++i)
        tables.Allowed[i] = HashIndex(AllowAlgorithms[i], mPayload + mAllowAt[i], mAllowCount[i], 0);
    if (first + mBodyCount > MaxSignatures) throw DatabaseError("more signatures than a database can number");
    ReadBodies(aDatabase, first);
    aDatabase.mHasAllowLists = aDatabase.mHasAllowLists || mAllowCount[0] > 0 || mAllowCount[1] > 0;
    aDatabase.mPayloads.push_back(std::move(tables));
    return first + mBodyCount;
}

void PayloadReader::ReadHeader() {
    if (!HasHeader(mPayload, mLength)) throw DatabaseError("no header");
    if (mLength < format::HeaderLength1) throw DatabaseError("truncated header");
    mVersion = format::Read32(mPayload + format::VersionAt);
    if (mVersion > format::Version) throw UnsupportedVersionError(mVersion);
    if (mVersion == 0) throw DatabaseError("version 0");
    for (HashAlgorithm algorithm : HashAlgorithms) {
        const auto i = static_cast<std::size_t>(algorithm);
        mHashCount[i] = format::Read32(mPayload + format::HashCountAt[i]);
    }
    mBodyCount = format::Read32(mPayload + format::BodyCountAt);
    mBodyLength = format::Read64(mPayload + format::BodyLengthAt);
    mNamesLength = format::Read64(mPayload + format::NamesLengthAt);
    if (mVersion == 1) ReadHeader1();
    else ReadHeader2();
}

void PayloadReader::ReadHeader1() {
    if (mLength > format::MaxPayloadLength) throw DatabaseError("payload larger than 50331632 bytes");
    if (format::Read32(mPayload + format::HeaderLengthAt) != format::HeaderLength1)
        throw DatabaseError("wrong header length");
    if (format::Read64(mPayload + format::ReservedAt) != 0) throw DatabaseError("reserved header fields are not zero");
    // Every term is below 2^36 or checked against the length first: the sum cannot overflow.
    if (mBodyLength > mLength || mNamesLength > mLength) throw DatabaseError("section lengths exceed the payload");
    std::uint64_t end = format::HeaderLength1;
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

// Each section is taken in turn from what is left of the payload, so no sum can overflow.
void PayloadReader::Take(std::uint64_t aLength, const char* aWhat) {
    if (aLength > mLength - mContentEnd) throw DatabaseError(std::string(aWhat) + " exceed the payload");
    mContentEnd += static_cast<std::size_t>(aLength);
}

void PayloadReader::ReadHeader2() {
    if (mLength < format::HeaderLength) throw DatabaseError("truncated header");
    if (format::Read32(mPayload + format::HeaderLengthAt) != format::HeaderLength)
        throw DatabaseError("wrong header length");
    if (!AllZero(mPayload + format::Reserved2At, mPayload + format::HeaderLength))
        throw DatabaseError("reserved header fields are not zero");
    if (format::Read32(mPayload + format::NamesPerBlockAt) != NameTable::NamesPerBlock)
        throw DatabaseError("unknown name block size");
    mNameCount = format::Read32(mPayload + format::NameCountAt);
    mAllowCount[0] = format::Read32(mPayload + format::AllowMd5CountAt);
    mAllowCount[1] = format::Read32(mPayload + format::AllowSha256CountAt);
    mContentEnd = format::HeaderLength;
    for (HashAlgorithm algorithm : HashAlgorithms) {
        const auto i = static_cast<std::size_t>(algorithm);
        mHashAt[i] = mContentEnd;
        Take(std::uint64_t{mHashCount[i]} * format::RecordLength(DigestLength(algorithm)), "hash records");
    }
    for (std::size_t i = 0; i < AllowListCount; ++i) {
        mAllowAt[i] = mContentEnd;
        Take(std::uint64_t{mAllowCount[i]} * format::RecordLength(DigestLength(AllowAlgorithms[i])), "allow lists");
    }
    mBodyAt = mContentEnd;
    Take(mBodyLength, "body records");
    mNamesAt = mContentEnd;
    Take(mNamesLength, "names");
}

void PayloadReader::CheckPadding() {
    const std::uint8_t* padding = mPayload + mContentEnd;
    poll_.InPieces(mLength - mContentEnd, [padding](std::size_t aAt, std::size_t aLength) {
        if (!AllZero(padding + aAt, padding + aAt + aLength)) throw DatabaseError("padding is not zero");
    });
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
        poll_.Advance();
    }
}

void PayloadReader::CheckHashes(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount) {
    const std::size_t digest = DigestLength(aAlgorithm), length = format::RecordLength(digest);
    for (std::size_t i = 0; i < aCount; ++i) {
        const std::uint8_t* record = aRecords + i * length;
        poll_.Advance();
        const std::uint32_t name = format::Read32(record + digest + 8);
        if (name >= mNamesLength || !mNameStarts[name]) throw DatabaseError("hash record names no name");
        if (i == 0) continue;
        const std::uint8_t* previous = record - length;
        const std::uint64_t size = format::Read64(record + digest), before = format::Read64(previous + digest);
        if (size < before || (size == before && std::memcmp(previous, record, digest) > 0))
            throw DatabaseError("hash records out of order");
    }
}

void PayloadReader::ReadBodies(Database& aDatabase, std::uint64_t aFirst) {
    const std::uint8_t* at = mPayload + mBodyAt;
    const std::uint8_t* end = at + mBodyLength;
    BodySet& bodies = aDatabase.mBodies;
    const std::size_t budget = CompiledMemoryBudget(mLength), before = bodies.EstimatedBytes();
    // Room for the count, but for no more than one signature per 16 bytes of the section, so that a
    // false count cannot reserve much; a denser section merely grows as it is read.
    bodies.Reserve(bodies.Signatures().size() +
                   std::min<std::size_t>(mBodyCount, static_cast<std::size_t>(mBodyLength / 16)));
    for (std::uint32_t i = 0; i < mBodyCount; ++i) {
        if (end - at < 4) throw DatabaseError("body section shorter than its count");
        const std::uint32_t length = format::Read32(at);
        if (static_cast<std::size_t>(end - at - 4) < length) throw DatabaseError("body record runs past its section");
        poll_.Advance(CancelPoll::StepCost + length);
        const std::string_view line(reinterpret_cast<const char*>(at + 4), length);
        at += 4 + length;
        const ParsedLine parsed = ParseLine(SignatureFileKind::Body, line);
        if (parsed.Problem.Status != ParseStatus::Ok || parsed.Canonical.size() != line.size()) {
            const std::string why = parsed.Problem.Reason.empty() ? "not a signature" : parsed.Problem.Reason;
            throw DatabaseError("body signature " + std::to_string(i + 1) + ": " + why);
        }
        const auto& body = std::get<BodySignature>(parsed.Signature);
        bodies.Add(body, line.substr(0, body.Name.size()), static_cast<std::uint32_t>(aFirst + i));
        if (bodies.EstimatedBytes() - before > budget) throw DatabaseError(CompiledMemoryBudgetText());
    }
    if (at != end) throw DatabaseError("body section longer than its records");
}

std::unique_ptr<const Database> LoadDatabase(const std::uint8_t* aPayload, std::size_t aLength) {
    CancelPoll never;
    return LoadDatabase(aPayload, aLength, never);
}

std::unique_ptr<const Database> LoadDatabase(const std::uint8_t* aPayload, std::size_t aLength, CancelPoll& aPoll) {
    const PayloadView view{aPayload, aLength};
    return PayloadReader::ReadAll(std::span(&view, 1), aPoll, false);
}

std::unique_ptr<const Database> LoadDatabases(std::span<const PayloadView> aPayloads, CancelPoll& aPoll) {
    return PayloadReader::ReadAll(aPayloads, aPoll, true);
}

} // namespace detect
