#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>

namespace detect {

// Every error raised by the detection core; the text is UTF-8.
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;

    // Which payload, in load order, the error concerns, when LoadDatabases read several.
    std::optional<std::size_t> Payload() const { return mPayload; }
    void SetPayload(std::size_t aIndex) { mPayload = aIndex; }

private:
    std::optional<std::size_t> mPayload;
};

// A payload that cannot be used: "Invalid signature database: <detail>".
class DatabaseError : public Error {
public:
    explicit DatabaseError(const std::string& aDetail);

protected:
    struct Verbatim {};
    DatabaseError(Verbatim, const std::string& aText);
};

// A payload written by a newer format version than this reader supports.
class UnsupportedVersionError : public DatabaseError {
public:
    explicit UnsupportedVersionError(std::uint32_t aVersion);
    std::uint32_t Version() const { return mVersion; }

private:
    std::uint32_t mVersion;
};

// A database too large for the payload limit, refused by the writer.
class DatabaseTooLargeError : public Error {
public:
    DatabaseTooLargeError(std::uint64_t aLength, std::uint64_t aLimit);
};

} // namespace detect
