#pragma once

#include "detect/Cancel.h"
#include "detect/Database.h"

#include <array>
#include <memory>
#include <span>
#include <vector>

namespace detect {

// A payload in memory, mapped or read.
struct PayloadView {
    const std::uint8_t* Data = nullptr;
    std::size_t Length = 0;
};

// Validates a payload and adds it to a database being loaded. Version 1 is checked in full;
// version 2 only as far as its header goes (counts, offsets and lengths against the payload's
// length) plus its body records, which are compiled anyway: its hash records and names are
// read in place, checked as they are used.
class PayloadReader {
public:
    // aPoll is asked as the reading and compiling go on; it must outlive the reader.
    PayloadReader(const std::uint8_t* aPayload, std::size_t aLength, CancelPoll& aPoll);

    // Reads every payload into one database. aTellPayload: errors say which payload they concern.
    static std::unique_ptr<Database> ReadAll(std::span<const PayloadView> aPayloads, CancelPoll& aPoll,
                                             bool aTellPayload);

private:
    // Adds the payload's tables and body signatures, numbered from aFirst; the next free number.
    std::uint64_t ReadInto(Database& aDatabase, std::uint64_t aFirst);
    void ReadHeader();
    void ReadHeader1();
    void ReadHeader2();
    void Take(std::uint64_t aLength, const char* aWhat);
    void CheckNames();
    void CheckHashes(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount);
    void ReadBodies(Database& aDatabase, std::uint64_t aFirst);
    void CheckPadding();

    const std::uint8_t* mPayload;
    std::size_t mLength;
    std::uint32_t mVersion = 0;
    std::array<std::uint32_t, HashAlgorithmCount> mHashCount{};
    std::array<std::size_t, HashAlgorithmCount> mHashAt{};
    std::array<std::uint32_t, AllowListCount> mAllowCount{};
    std::array<std::size_t, AllowListCount> mAllowAt{};
    std::uint32_t mBodyCount = 0, mNameCount = 0;
    std::uint64_t mBodyLength = 0, mNamesLength = 0;
    std::size_t mBodyAt = 0, mNamesAt = 0, mContentEnd = 0;
    std::vector<bool> mNameStarts;
    CancelPoll& poll_;
};

// Reads, validates and compiles a payload. Throws UnsupportedVersionError for a newer
// format and DatabaseError for anything malformed, including a database beyond
// CompiledMemoryBudget; aPayload must outlive the result.
std::unique_ptr<const Database> LoadDatabase(const std::uint8_t* aPayload, std::size_t aLength);
// The same, asking aPoll as it goes: throws Cancelled when the poll's callback asks to stop.
std::unique_ptr<const Database> LoadDatabase(const std::uint8_t* aPayload, std::size_t aLength, CancelPoll& aPoll);

// Several payloads in load order as one database: signature numbers run on from one payload to
// the next, and each payload has its own compiled-memory budget. An error reading a payload
// tells its index in Error::Payload(). Every payload must outlive the result.
std::unique_ptr<const Database> LoadDatabases(std::span<const PayloadView> aPayloads, CancelPoll& aPoll);

} // namespace detect
