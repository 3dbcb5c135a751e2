#pragma once

#include "detect/Database.h"

#include <array>
#include <memory>
#include <vector>

namespace detect {

// Validates every field of a payload, trusting nothing the writer should have ensured.
class PayloadReader {
public:
    PayloadReader(const std::uint8_t* aPayload, std::size_t aLength);
    std::unique_ptr<Database> Read();

private:
    void ReadHeader();
    void CheckNames();
    void CheckHashes(HashAlgorithm aAlgorithm, const std::uint8_t* aRecords, std::size_t aCount);
    void ReadBodies(Database& aDatabase);
    void CheckPadding();

    const std::uint8_t* mPayload;
    std::size_t mLength;
    std::array<std::uint32_t, HashAlgorithmCount> mHashCount{};
    std::array<std::size_t, HashAlgorithmCount> mHashAt{};
    std::uint32_t mBodyCount = 0;
    std::uint64_t mBodyLength = 0, mNamesLength = 0;
    std::size_t mBodyAt = 0, mNamesAt = 0, mContentEnd = 0;
    std::vector<bool> mNameStarts;
};

// Reads, validates and compiles a payload. Throws UnsupportedVersionError for a newer
// format and DatabaseError for anything malformed, including a database beyond
// CompiledMemoryBudget; aPayload must outlive the result.
std::unique_ptr<const Database> LoadDatabase(const std::uint8_t* aPayload, std::size_t aLength);

} // namespace detect
