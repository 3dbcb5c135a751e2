// Signature databases for tests: payloads from signature lines, stamped files, the EICAR text.
#pragma once

#include "detect/Signature.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using SignatureLines = std::vector<std::pair<detect::SignatureFileKind, std::string>>;

// The padded payload of a database holding aLines; a refused line fails the test.
std::vector<std::uint8_t> DatabasePayload(const SignatureLines& aLines);

// Writes aPayload followed by its MD5 trailer to aPath.
void WriteStamped(const std::wstring& aPath, const std::vector<std::uint8_t>& aPayload);

// The payload of a .qdb file holding aLines (unpadded); a refused line fails the test.
std::vector<std::uint8_t> QdbPayload(const SignatureLines& aLines);
// aPayload followed by its SHA-256 trailer, as a .qdb file holds it.
std::vector<std::uint8_t> WithSha256Trailer(std::vector<std::uint8_t> aPayload);
// Writes aBytes to aPath, creating its folder when missing.
void WriteBytes(const std::wstring& aPath, const std::vector<std::uint8_t>& aBytes);

// A database of aCount short body signatures with distinct random 8-byte patterns, which takes a
// second or more to compile: something to stop while it loads.
std::vector<std::uint8_t> LargeDatabasePayload(std::size_t aCount = 200000);

// aBytes as lowercase hexadecimal digits, as body signatures write them.
std::string HexOf(const std::string& aBytes);

// The 68-byte EICAR test file, put together at run time so that no file of ours holds it.
std::string EicarText();

// The lines of the demo database: EICAR by MD5 and by its text at offset 0.
SignatureLines EicarLines();
