// signature.dat with the .qdb files of a folder: load order, the first signature across files,
// damaged files refused with their names, the files held while loaded.
#include "signature/Signature.h"

#include "detect/Finding.h"
#include "detect/ObjectScan.h"
#include "detect/PayloadFormat.h"
#include "signature/CngHashProvider.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>
#include <optional>

namespace {

using detect::SignatureFileKind;
using Bytes = std::vector<std::uint8_t>;

// A body signature on the EICAR text, named aName.
SignatureLines EicarBody(const std::string& aName)
{
    return {{SignatureFileKind::Body, aName + ":0:*:" + HexOf(EicarText())}};
}

// The name aSignature reports for aContent; empty when it is clean or has no database.
std::string NameFound(const TSignature& aSignature, const std::string& aContent)
{
    if (aSignature.Database() == nullptr)
        return {};
    CngHashProvider hashes;
    detect::ObjectScan scan(*aSignature.Database(), hashes);
    scan.Begin(aContent.size());
    scan.Feed(reinterpret_cast<const std::uint8_t*>(aContent.data()), aContent.size());
    return std::string(detect::Decide(scan.End(true), false).Name);
}

class QdbLoadTest : public testing::Test {
protected:
    std::wstring DatPath() const { return folder_.Str() + L"\\signature.dat"; }
    std::wstring QdbFolder() const { return folder_.Str() + L"\\signatures"; }
    std::wstring QdbPath(const std::wstring& aName) const { return QdbFolder() + L"\\" + aName; }

    void WriteDat(const std::optional<SignatureLines>& aLines) const
    {
        WriteStamped(DatPath(), aLines ? DatabasePayload(*aLines) : Bytes(detect::format::MinPayloadLength, 'x'));
    }
    void WriteQdb(const std::wstring& aName, const SignatureLines& aLines) const
    {
        WriteBytes(QdbPath(aName), WithSha256Trailer(QdbPayload(aLines)));
    }
    std::unique_ptr<TSignature> Load(std::function<bool()> aCancelled = {}) const
    {
        return std::make_unique<TSignature>(DatPath(), QdbFolder(), std::move(aCancelled));
    }
    std::wstring LoadError() const
    {
        return MessageOf([&] { Load(); });
    }

    TempFolder folder_;
};

// Windows orders file names by their upper case: "b.qdb" (B, 0x42) before "_z.qdb" (0x5F),
// where a lower-case or a case-sensitive comparison puts "_z.qdb" first. (Wine lists a folder in
// this order already; on FAT volumes the listing is in creation order.)
TEST_F(QdbLoadTest, FirstSignatureFollowsTheLoadOrderAcrossFiles)
{
    const struct {
        const char* Label;
        std::optional<SignatureLines> Dat;
        std::string Expected;
    } cases[] = {
        {"signature.dat first", EicarBody("Dat.Eicar"), "Dat.Eicar"},
        {"opaque signature.dat", std::nullopt, "B.Eicar"},
        {"signature.dat without that signature", SignatureLines{{SignatureFileKind::Body, "Dat.Other:0:*:0011223344"}},
            "B.Eicar"},
    };
    for (const auto& test : cases) {
        WriteDat(test.Dat);
        WriteQdb(L"_z.qdb", EicarBody("Z.Eicar"));
        WriteQdb(L"b.qdb", EicarBody("B.Eicar"));
        const auto signature = Load();
        EXPECT_THAT(signature->QdbNames(), testing::ElementsAre(L"b.qdb", L"_z.qdb")) << test.Label;
        EXPECT_EQ(NameFound(*signature, EicarText()), test.Expected) << test.Label;
    }
}

TEST_F(QdbLoadTest, SignaturesOfEveryFileApply)
{
    WriteDat(EicarLines());
    WriteQdb(L"one.qdb", {{SignatureFileKind::Body, "One.Text:0:*:" + HexOf("first qdb text")}});
    WriteQdb(L"Two.QDB", {{SignatureFileKind::Sha,
                              "eb201af5aaf0d60629d3d2a61e466cfc0fedb517add831ecac5235e1daa963d6:7:Two.Hash"}});
    const auto signature = Load();
    EXPECT_EQ(NameFound(*signature, EicarText()), "Eicar-Test-Signature");
    EXPECT_EQ(NameFound(*signature, "xx first qdb text xx"), "One.Text");
    EXPECT_EQ(NameFound(*signature, "hash me"), "Two.Hash");
    EXPECT_EQ(NameFound(*signature, "clean"), "");
}

// An allow list in a later file clears an object that signature.dat's signatures match.
TEST_F(QdbLoadTest, AllowListInAQdbFileClearsWhatAnyFileMatches)
{
    WriteDat(EicarLines());
    WriteQdb(L"a.qdb", EicarBody("A.Eicar"));
    WriteQdb(L"b.qdb", {{SignatureFileKind::Md5Allow, "44d88612fea8a8f36de82e1278abb02f:68:Eicar.Allowed"}});
    const auto signature = Load();
    EXPECT_EQ(NameFound(*signature, EicarText()), "");
    EXPECT_EQ(NameFound(*signature, "x" + EicarText()), "A.Eicar") << "another object still matches";
}

// Only files named *.qdb load: not a folder of that name, nor names that merely begin so.
TEST_F(QdbLoadTest, OnlyQdbFilesOfTheFolderLoad)
{
    WriteDat(std::nullopt);
    WriteQdb(L"a.qdb", EicarBody("A.Eicar"));
    WriteBytes(QdbPath(L"b.qdb.bak"), {1, 2, 3});
    WriteBytes(QdbPath(L"c.qdbx"), {1, 2, 3});
    std::filesystem::create_directory(std::filesystem::path(QdbPath(L"d.qdb")));
    EXPECT_THAT(Load()->QdbNames(), testing::ElementsAre(L"a.qdb"));
}

TEST_F(QdbLoadTest, OpaqueSignatureDatWithoutQdbFilesDetectsNothing)
{
    WriteDat(std::nullopt);
    EXPECT_EQ(Load()->Database(), nullptr) << "no signatures folder";
    std::filesystem::create_directory(std::filesystem::path(QdbFolder()));
    EXPECT_EQ(Load()->Database(), nullptr) << "an empty signatures folder";
}

// One good file before the damaged one: the start fails whole, naming the damaged file.
TEST_F(QdbLoadTest, DamagedOrUnusableQdbFailsTheStartNamingIt)
{
    const Bytes good = WithSha256Trailer(QdbPayload(EicarBody("B.Eicar")));
    const auto withHeaderField = [&](std::size_t aAt, std::uint32_t aValue) {
        Bytes payload(good.begin(), good.end() - 32);
        detect::format::Write32(payload.data() + aAt, aValue);
        return WithSha256Trailer(payload);
    };
    const auto changed = [&](std::size_t aAt) {
        Bytes bytes = good;
        bytes[aAt] ^= 0x01;
        return bytes;
    };
    const std::wstring prefix = L"Signature loading failed: b.qdb: ";
    const struct {
        const char* Label;
        Bytes File;
        std::wstring Expected; // the message's start
        bool Whole;            // the message is exactly Expected
    } cases[] = {
        {"payload byte", changed(100), prefix + L"Invalid file: SHA-256 check failed", true},
        {"trailer byte", changed(good.size() - 1), prefix + L"Invalid file: SHA-256 check failed", true},
        {"truncated", Bytes(good.begin(), good.end() - 1), prefix + L"Invalid file: SHA-256 check failed", true},
        {"shorter than a trailer", Bytes(good.begin(), good.begin() + 32), prefix + L"Invalid file: shorter than its SHA-256 trailer", true},
        {"empty", Bytes(), prefix + L"File is empty", true},
        {"opaque payload", WithSha256Trailer(Bytes(4096, 'x')), prefix + L"Invalid signature database: ", false},
        {"unknown version", withHeaderField(detect::format::VersionAt, 99),
            prefix + L"Unsupported signature database version 99", true},
        {"count beyond the payload", withHeaderField(detect::format::BodyCountAt, 0x7FFFFFFF),
            prefix + L"Invalid signature database: ", false},
    };
    WriteDat(EicarLines());
    WriteQdb(L"a.qdb", EicarBody("A.Eicar"));
    for (const auto& test : cases) {
        WriteBytes(QdbPath(L"b.qdb"), test.File);
        const std::wstring message = LoadError();
        EXPECT_THAT(message, testing::StartsWith(test.Expected)) << test.Label;
        if (test.Whole) {
            EXPECT_EQ(message, test.Expected) << test.Label;
        }
    }
}

// Loaded files are held shared with readers: a second scan loads them, a writer is refused.
TEST_F(QdbLoadTest, LoadedFilesRefuseWritersButNotReaders)
{
    WriteDat(EicarLines());
    WriteQdb(L"a.qdb", EicarBody("A.Eicar"));
    const auto first = Load();
    const auto second = Load();
    EXPECT_EQ(NameFound(*second, EicarText()), "Eicar-Test-Signature");
    const FileHandle writer(CreateFileW(QdbPath(L"a.qdb").c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
        nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(writer.IsValid());
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
}

// The trailer check asks the cancel callback at least once per MiB it hashes (this file, with
// no database header, is refused only after its check).
TEST_F(QdbLoadTest, CancelStopsTheTrailerCheck)
{
    WriteDat(std::nullopt);
    WriteBytes(QdbPath(L"big.qdb"), WithSha256Trailer(Bytes(8u << 20, 0)));
    int asked = 0;
    EXPECT_THAT(MessageOf([&] { Load([&] { return ++asked < 0; }); }), testing::HasSubstr(L"big.qdb: Invalid signature"));
    EXPECT_GE(asked, 8);
    asked = 0;
    EXPECT_THROW(Load([&] { return ++asked == 4; }), detect::Cancelled);
}

} // namespace
