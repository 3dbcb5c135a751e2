// Loading and verifying signature.dat and the .qdb files, compiling them together; stamping a
// payload file with its MD5 trailer.
#include "signature/Signature.h"

#include "platform/ProcessCommandLine.h"
#include "detect/Error.h"
#include "detect/PayloadReader.h"
#include "platform/Error.h"
#include "platform/CngHash.h"
#include "platform/ErrorDisplay.h"
#include "platform/FileExistence.h"
#include "platform/Md5.h"
#include "platform/ProgramFolder.h"
#include "platform/Utf8.h"

#include <windows.h>

#include <new>
#include <optional>

namespace {

constexpr wchar_t kSignatureFileName[] = L"signature.dat";
constexpr wchar_t kLoadingFailed[] = L"Signature loading failed: ";

void CheckFileSize(std::int64_t aSize)
{
    if (aSize > TSignature::kMaxFileSize || aSize < TSignature::kMinFileSize)
        throw AppError(L"Invalid file");
}

// Readers share the file with other readers only; a writer shares it with no one.
File OpenExistingFile(const std::wstring& aPath, File::Access aAccess)
{
    if (!FileExists(aPath))
        throw AppError(L"File not found");
    return File::OpenExisting(aPath, aAccess, aAccess == File::Access::Read ? FILE_SHARE_READ : 0);
}

// Runs aStep; an AppError, or an allocation failure turned into one, gets aContext in front.
template <typename Step>
void WithContext(const wchar_t* aContext, Step aStep)
{
    try {
        try {
            aStep();
        } catch (const std::bad_alloc&) {
            throw AppError(L"Out of memory");
        }
    } catch (AppError& error) {
        error.Prepend(aContext);
        throw;
    }
}

} // namespace

TSignature::TSignature() : TSignature(std::wstring(), {})
{
}

TSignature::TSignature(const std::wstring& aPath) : TSignature(aPath, {})
{
}

TSignature::TSignature(const std::wstring& aPath, std::function<bool()> aCancelled)
    : TSignature(aPath, std::wstring(), std::move(aCancelled))
{
}

TSignature::TSignature(const std::wstring& aPath, const std::wstring& aQdbFolder, std::function<bool()> aCancelled)
{
    detect::CancelPoll poll(std::move(aCancelled));
    WithContext(kLoadingFailed, [&] {
        LoadSignature(aPath.empty() ? ProgramFolder() + kSignatureFileName : aPath, poll);
        LoadQdbFiles(aQdbFolder.empty() ? TSignatureFolder::BesideProgram() : TSignatureFolder(aQdbFolder), poll);
        CompileDatabase(poll);
    });
}

TSignature::~TSignature() = default;

void TSignature::LoadSignature(const std::wstring& aPath, detect::CancelPoll& aPoll)
{
    FFile = OpenExistingFile(aPath, File::Access::Read);
    const std::int64_t size = FFile.Size();
    CheckFileSize(size);
    ReadPayload(static_cast<std::size_t>(size) - sizeof(Md5Digest), aPoll);
    if (!TrailerMatches(aPoll))
        throw AppError(L"Invalid file");
}

void TSignature::LoadQdbFiles(const TSignatureFolder& aFolder, detect::CancelPoll& aPoll)
{
    FQdbFiles.reserve(aFolder.Names().size());
    for (const std::wstring& name : aFolder.Names()) {
        WithContext((name + L": ").c_str(), [&] {
            aPoll.Check();
            FQdbFiles.emplace_back(aFolder.PathOf(name));
            FQdbFiles.back().VerifyTrailer(aPoll);
        });
        FQdbNames.push_back(name);
    }
}

// The buffer grows a piece at a time, so that no stretch of work between two polls touches all of it.
void TSignature::ReadPayload(std::size_t aLength, detect::CancelPoll& aPoll)
{
    FData.reserve(aLength);
    aPoll.InPieces(aLength, [this](std::size_t aAt, std::size_t aPiece) {
        FData.resize(aAt + aPiece);
        FFile.ReadBuffer(FData.data() + aAt, aPiece);
    });
}

bool TSignature::TrailerMatches(detect::CancelPoll& aPoll)
{
    CngHash hash(CngAlgorithm::Md5);
    aPoll.InPieces(FData.size(), [&](std::size_t aAt, std::size_t aLength) { hash.Update(FData.data() + aAt, aLength); });
    Md5Digest digest{};
    hash.Finish(digest.data());
    Md5Digest trailer{};
    FFile.ReadBuffer(trailer.data(), trailer.size());
    return ToLowerHex(digest) == ToLowerHex(trailer);
}

void TSignature::CompileDatabase(detect::CancelPoll& aPoll)
{
    // Each payload to compile, in load order, with the name its errors carry (none for signature.dat,
    // whose messages stay as they were before .qdb files existed).
    std::vector<detect::PayloadView> payloads;
    std::vector<std::wstring> names;
    if (detect::HasHeader(FData.data(), FData.size())) {
        payloads.push_back({FData.data(), FData.size()});
        names.emplace_back();
    }
    for (std::size_t i = 0; i < FQdbFiles.size(); ++i) {
        payloads.push_back({FQdbFiles[i].Payload(), FQdbFiles[i].PayloadLength()});
        names.push_back(FQdbNames[i] + L": ");
    }
    if (payloads.empty())
        return;
    try {
        FDatabase = detect::LoadDatabases(payloads, aPoll);
    } catch (const detect::Cancelled&) {
        throw;
    } catch (const detect::Error& error) {
        const std::optional<std::size_t> payload = error.Payload();
        throw AppError((payload && *payload < names.size() ? names[*payload] : std::wstring()) + FromUtf8(error.what()));
    }
}

void TSignature::StampFile(const std::wstring& aPath)
{
    File file = OpenExistingFile(aPath, File::Access::ReadWrite);
    const std::int64_t size = file.Size();
    CheckFileSize(size);
    std::vector<std::uint8_t> content(static_cast<std::size_t>(size));
    file.ReadBuffer(content.data(), content.size());
    const Md5Digest digest = Md5(content.data(), content.size());
    try {
        file.WriteBuffer(digest.data(), digest.size());
        file.Flush();
    } catch (const AppError&) {
        // A partial or unwritten trailer would spoil the file: restore its former length. If even that is
        // refused, the write error is still the one to report.
        try {
            file.SetLength(size);
        } catch (const AppError&) {
        }
        throw;
    }
}

bool TSignature::PrepareSignatureFile(int& aExitCode)
{
    std::wstring path;
    if (!FindSwitchValue(L"sig", path))
        return false;
    try {
        WithContext(L"Signature prepare failed: ", [&] { StampFile(path); });
        aExitCode = 0;
    } catch (const AppError& error) {
        ShowErrorMessage(error.Message());
        aExitCode = 1;
    }
    return true;
}
