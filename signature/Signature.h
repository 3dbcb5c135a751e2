// The signature databases (signature.dat and the .qdb files beside the program) and the
// preparation mode that stamps a file.
#pragma once

#include "detect/Cancel.h"
#include "detect/Database.h"
#include "detect/PayloadFormat.h"
#include "platform/File.h"
#include "signature/QdbFile.h"
#include "signature/SignatureFolder.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TSignature {
public:
    // Accepted total size of a signature file, both bounds inclusive.
    static constexpr std::int64_t kMinFileSize = static_cast<std::int64_t>(detect::format::MinFileLength);
    static constexpr std::int64_t kMaxFileSize = static_cast<std::int64_t>(detect::format::MaxFileLength);

    // Create: loads and verifies signature.dat in the executable's folder and keeps it open,
    // shared with readers only (two scans may hold it; writers and stamping are refused); then
    // maps and checks each .qdb file of the folder "signatures" beside the executable, in load
    // order (TSignatureFolder), and compiles every payload with the database header together:
    // signature.dat's first, then the .qdb files'. Throws AppError "Signature loading failed:
    // ..." (for signature.dat: "Invalid signature database: ...", "Unsupported signature
    // database version N" for a payload with the header that cannot be used; for a .qdb file
    // its name and ": " go before the message).
    TSignature();
    // Create on the file at aPath instead of signature.dat; the .qdb files still load. Throws as
    // TSignature().
    explicit TSignature(const std::wstring& aPath);
    // Create on the file at aPath, or signature.dat beside the program when aPath is empty,
    // asking aCancelled as the reading, checking and compiling go on (at least every MiB, and
    // after a bounded amount of other work: detect::CancelPoll). Throws as TSignature(), and
    // detect::Cancelled once aCancelled says so.
    TSignature(const std::wstring& aPath, std::function<bool()> aCancelled);
    // The same with the .qdb files of aQdbFolder (no backslash at its end) instead of the
    // folder beside the program.
    TSignature(const std::wstring& aPath, const std::wstring& aQdbFolder, std::function<bool()> aCancelled);
    // Destroy: closes the file, then releases the compiled database and the payload.
    virtual ~TSignature();
    TSignature(const TSignature&) = delete;
    TSignature& operator=(const TSignature&) = delete;

    // The verified payload: the file without its 16-byte trailer.
    const std::vector<std::uint8_t>& Data() const noexcept { return FData; }
    // The names of the .qdb files loaded, in load order.
    const std::vector<std::wstring>& QdbNames() const noexcept { return FQdbNames; }
    // The compiled signatures of every payload with the database header; nullptr when there
    // is none (an opaque signature.dat and no .qdb file), which detects nothing.
    const detect::Database* Database() const noexcept { return FDatabase.get(); }

    // Preparation mode. False when the command line has no "sig" switch (nothing done);
    // otherwise stamps the named file, shows a failure itself, sets aExitCode
    // (0 after a successful stamping, 1 after a failed one) and returns true.
    static bool PrepareSignatureFile(int& aExitCode);

    // Appends the MD5 digest of the file at aPath to it. The file is changed only by that
    // final write; a write that fails part-way is cut back. Throws AppError ("File not found",
    // "Cannot open file "%s". %s", "Invalid file", "Stream read error", "Stream write error").
    static void StampFile(const std::wstring& aPath);

private:
    // Loads and verifies the file at aPath into FData, keeping it open in FFile.
    void LoadSignature(const std::wstring& aPath, detect::CancelPoll& aPoll);
    // Maps and checks the .qdb files of aFolder into FQdbFiles. Throws AppError naming the file.
    void LoadQdbFiles(const TSignatureFolder& aFolder, detect::CancelPoll& aPoll);
    // Reads the aLength bytes of the payload into FData.
    void ReadPayload(std::size_t aLength, detect::CancelPoll& aPoll);
    // Whether the trailer after FData is FData's MD5 digest.
    bool TrailerMatches(detect::CancelPoll& aPoll);

    // Compiles FData, when it carries the database header, with the .qdb payloads. Throws
    // AppError, naming the .qdb file a payload's error came from.
    void CompileDatabase(detect::CancelPoll& aPoll);

    std::vector<std::uint8_t> FData;
    std::vector<std::wstring> FQdbNames;
    // The mapped .qdb files, in load order; the database reads their views in place.
    std::vector<TQdbFile> FQdbFiles;
    // Reads FData and the views in place, so it is declared after them and released before them.
    std::unique_ptr<const detect::Database> FDatabase;
    File FFile;
};
