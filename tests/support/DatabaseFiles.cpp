// Test databases through the detection core's builder and the program's MD5.
#include "tests/support/DatabaseFiles.h"

#include "detect/DatabaseBuilder.h"
#include "platform/CngHash.h"
#include "platform/Md5.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

std::vector<std::uint8_t> DatabasePayload(const SignatureLines& aLines)
{
    detect::DatabaseBuilder builder;
    for (const auto& [kind, line] : aLines) {
        const detect::ParsedLine parsed = builder.AddLine(kind, line);
        EXPECT_EQ(parsed.Problem.Status, detect::ParseStatus::Ok) << line << ": " << parsed.Problem.Reason;
    }
    return builder.Build();
}

std::vector<std::uint8_t> QdbPayload(const SignatureLines& aLines)
{
    detect::DatabaseBuilder builder;
    for (const auto& [kind, line] : aLines) {
        const detect::ParsedLine parsed = builder.AddLine(kind, line);
        EXPECT_EQ(parsed.Problem.Status, detect::ParseStatus::Ok) << line << ": " << parsed.Problem.Reason;
    }
    return builder.BuildQdb();
}

std::vector<std::uint8_t> WithSha256Trailer(std::vector<std::uint8_t> aPayload)
{
    CngHash hash(CngAlgorithm::Sha256);
    hash.Update(aPayload.data(), aPayload.size());
    const std::size_t length = aPayload.size();
    aPayload.resize(length + CngHash::DigestLength(CngAlgorithm::Sha256));
    hash.Finish(aPayload.data() + length);
    return aPayload;
}

void WriteBytes(const std::wstring& aPath, const std::vector<std::uint8_t>& aBytes)
{
    const std::filesystem::path path(aPath);
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(aBytes.data()), static_cast<std::streamsize>(aBytes.size()));
    ASSERT_TRUE(out.good());
}

std::vector<std::uint8_t> LargeDatabasePayload(std::size_t aCount)
{
    detect::DatabaseBuilder builder;
    std::mt19937_64 random(1);
    char line[64];
    for (std::size_t i = 0; i < aCount; ++i) {
        std::snprintf(line, sizeof line, "Large.%07zu:0:*:%016llx", i, static_cast<unsigned long long>(random()));
        builder.AddLine(detect::SignatureFileKind::Body, line);
    }
    return builder.Build();
}

void WriteStamped(const std::wstring& aPath, const std::vector<std::uint8_t>& aPayload)
{
    const Md5Digest digest = Md5(aPayload.data(), aPayload.size());
    std::ofstream out(std::filesystem::path(aPath), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(aPayload.data()), static_cast<std::streamsize>(aPayload.size()));
    out.write(reinterpret_cast<const char*>(digest.data()), static_cast<std::streamsize>(digest.size()));
    ASSERT_TRUE(out.good());
}

std::string EicarText()
{
    return std::string("X5O!P%@AP[4\\PZX54(P^)7CC)7}$") + "EICAR-STANDARD-ANTIVIRUS-TEST-FILE!" + "$H+H*";
}

std::string HexOf(const std::string& aBytes)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char c : aBytes) {
        hex += kDigits[c >> 4];
        hex += kDigits[c & 15];
    }
    return hex;
}

SignatureLines EicarLines()
{
    return {{detect::SignatureFileKind::Md5, "44d88612fea8a8f36de82e1278abb02f:68:Eicar-Test-Signature"},
            {detect::SignatureFileKind::Body, "Eicar-Test-Signature:0:0:" + HexOf(EicarText())}};
}
