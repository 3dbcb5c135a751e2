// Loading and verifying signature.dat; stamping a payload file with its MD5 trailer.
#include "signature/Signature.h"

#include "platform/ProcessCommandLine.h"
#include "detect/Error.h"
#include "detect/PayloadReader.h"
#include "platform/Error.h"
#include "platform/CngHash.h"
#include "platform/ErrorDisplay.h"
#include "platform/FileExistence.h"
#include "platform/Md5.h"
#include "platform/Utf8.h"

#include <windows.h>

#include <new>

namespace {

constexpr wchar_t kSignatureFileName[] = L"signature.dat";
constexpr wchar_t kLoadingFailed[] = L"Signature loading failed: ";

// The folder of the running executable, with its trailing backslash. Throws AppError when the
// system cannot tell the path (an empty folder would point at the current folder instead).
std::wstring ExecutableFolder()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0)
            ThrowLastError(L"Cannot find the program's own path: ");
        if (length < path.size()) {
            path.resize(length);
            return path.substr(0, path.find_last_of(L'\\') + 1);
        }
        path.resize(path.size() * 2);
    }
}

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
{
    detect::CancelPoll poll(std::move(aCancelled));
    WithContext(kLoadingFailed,
        [&] { LoadSignature(aPath.empty() ? ExecutableFolder() + kSignatureFileName : aPath, poll); });
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
    CompileDatabase(aPoll);
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
    if (!detect::HasHeader(FData.data(), FData.size()))
        return;
    try {
        FDatabase = detect::LoadDatabase(FData.data(), FData.size(), aPoll);
    } catch (const detect::Cancelled&) {
        throw;
    } catch (const detect::Error& error) {
        throw AppError(FromUtf8(error.what()));
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
