// Archives the scan tests write with libarchive's own write support.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

enum class ArchiveKind { ZipStored, ZipDeflate, SevenLzma2, SevenLzma, TarGz, LoneGz };

struct ArchiveMember {
    // The name as the archive stores it, UTF-8.
    std::string Name;
    std::string Content;
    // Zero bytes written after Content, in blocks (a large member without a large buffer).
    std::uint64_t Zeros = 0;
};

// The archive of aKind holding aMembers; with aPassphrase (zip only), members are encrypted.
// Throws std::runtime_error with libarchive's message when writing fails.
std::string ArchiveBytes(ArchiveKind aKind, const std::vector<ArchiveMember>& aMembers, const char* aPassphrase = nullptr);
// The same, written to aPath.
void WriteArchive(const std::filesystem::path& aPath, ArchiveKind aKind, const std::vector<ArchiveMember>& aMembers,
    const char* aPassphrase = nullptr);
