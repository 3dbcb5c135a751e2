// Files the tests write: any content, and signature files stamped with the MD5 of their payload.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

// Writes aContent to aPath, replacing the file. Throws std::runtime_error when it cannot.
void WriteTestFile(const std::filesystem::path& aPath, std::string_view aContent);

// aSize bytes of a fixed pattern: zeros but for a counting byte every 4093 bytes.
std::string TestPayload(std::size_t aSize);

// aTotal bytes as a signature file holds them: TestPayload(aTotal - 16) and its MD5 digest.
std::string StampedPayload(std::size_t aTotal);

// signature.dat beside the running test program.
std::wstring SignaturePath();

// A valid signature.dat beside the test program, of the smallest accepted size.
// Throws std::runtime_error when it cannot be written.
void WriteSignatureFile();
void RemoveSignatureFile();
