#include "detect/Error.h"

namespace detect {

DatabaseError::DatabaseError(const std::string& aDetail)
    : Error("Invalid signature database: " + aDetail) {}

DatabaseError::DatabaseError(Verbatim, const std::string& aText) : Error(aText) {}

UnsupportedVersionError::UnsupportedVersionError(std::uint32_t aVersion)
    : DatabaseError(Verbatim{}, "Unsupported signature database version " + std::to_string(aVersion)),
      mVersion(aVersion) {}

DatabaseTooLargeError::DatabaseTooLargeError(std::uint64_t aLength, std::uint64_t aLimit)
    : Error("Signature database too large: " + std::to_string(aLength) + " bytes of payload, at most " +
            std::to_string(aLimit)) {}

} // namespace detect
