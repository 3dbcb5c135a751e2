// The scanner base: the object reader, what it records of failures, and the percentage of the step protocol.
#include "scan/Scanner.h"

#include "archive/Sniff.h"
#include "platform/Error.h"
#include "platform/FileExistence.h"
#include "platform/Wow64Redirection.h"
#include "scan/ArchiveScan.h"
#include "scan/ArchiveSource.h"
#include "scan/ObjectInspector.h"
#include "scan/PathResolver.h"
#include "scan/ScanHost.h"
#include "scan/VerdictCache.h"

#include <algorithm>
#include <new>
#include <optional>
#include <vector>

namespace {

constexpr DWORD kBlockSize = 8192;
// How often a paused read looks for Resume or Stop.
constexpr DWORD kPausePollMs = 20;

// A folder given where a file is expected is refused as access denied: it names no file.
bool IsFolder(const std::wstring& aPath) noexcept
{
    const DWORD attributes = GetFileAttributesW(aPath.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

} // namespace

void TScanner::ScanFile(const std::wstring& aPath, bool aWow64View)
{
    if (aPath.empty())
        return;
    std::wstring resolved;
    try {
        resolved = aWow64View ? ResolveWow64FilePath(aPath) : ResolveFilePath(aPath);
    } catch (const AppError&) {
        // Forbidden characters: the path names no file.
    } catch (...) {
        return;
    }
    if (resolved.empty())
        FScannerThread->CountSkipped(TSkipped::RegisteredFile);
    else
        ScanObject(resolved, resolved, TSkipped::RegisteredFile);
}

void TScanner::ScanObject(const std::wstring& aShown, const std::wstring& aSystemPath, TSkipped aMissing)
{
    try {
        ReadInspected(aShown, aSystemPath, FScannerThread->Inspector());
    } catch (const AppError& error) {
        RecordFailureNoThrow(aShown, aSystemPath, error.Code(), error.Message(), aMissing);
    } catch (const std::bad_alloc&) {
        RecordFailureNoThrow(aShown, aSystemPath, ERROR_NOT_ENOUGH_MEMORY, {}, aMissing);
    } catch (...) {
        RecordFailureNoThrow(aShown, aSystemPath, 0, L"Unexpected error", aMissing);
    }
}

void TScanner::ReadInspected(const std::wstring& aShown, const std::wstring& aSystemPath, TObjectInspector* aInspector)
{
    std::optional<SharedReadFile> opened;
    try {
        opened.emplace(OpenObject(aSystemPath));
    } catch (const AppError&) {
        if (Remembering() && !FirstVerdict(TVerdictCache::PathKey(aSystemPath)))
            return;
        throw;
    }
    SharedReadFile& file = *opened;
    const bool lookInside = LooksInsideArchives() && aInspector != nullptr;
    const bool remembering = Remembering();
    const std::wstring key = remembering ? KeyOf(file, aSystemPath) : std::wstring();
    if (remembering && !FirstVerdict(key)) {
        // Judged as it is already; its members are not, unless the file itself is allowed.
        if (lookInside && !FScannerThread->Verdicts()->Allowed(key)) {
            ReadHead(file);
            LookInside(file, aShown, FKept, *aInspector, {}, false, false);
        }
        return;
    }
    if (aInspector == nullptr) {
        ReadObject(file);
        return;
    }
    const std::uint64_t size = file.Size();
    aInspector->Begin(size);
    if (lookInside)
        FKept.Begin(size);
    bool complete = false;
    try {
        complete = ReadObject(file, lookInside ? &FKept : nullptr);
    } catch (...) {
        if (EndInspection(*aInspector, aShown, false))
            return;
        throw;
    }
    if (!complete || !lookInside) {
        EndInspection(*aInspector, aShown, complete);
        NoteAllowed(*aInspector, key, complete && remembering);
        return;
    }
    const std::vector<detect::Match> matches = aInspector->EndMatches(true);
    NoteAllowed(*aInspector, key, remembering);
    LookInside(file, aShown, FKept, *aInspector, matches, aInspector->Overflowed(), aInspector->Allowed());
}

void TScanner::LookInside(SharedReadFile& aFile, const std::wstring& aShown, const TObjectBytes& aKept,
    TObjectInspector& aInspector, const std::vector<detect::Match>& aMatches, bool aOverflowed, bool aAllowed)
{
    TArchiveScan inside(*FScannerThread, aInspector, aShown);
    bool archive = false;
    try {
        archive = MayBeArchive(aFile, aKept);
    } catch (...) {
        if (std::optional<TFinding> finding = aInspector.Decide(aMatches, aShown, aOverflowed))
            FScannerThread->AddFinding(std::move(*finding));
        throw;
    }
    if (!archive) {
        if (std::optional<TFinding> finding = aInspector.Decide(aMatches, aShown, aOverflowed))
            FScannerThread->AddFinding(std::move(*finding));
    } else if (aKept.Whole()) {
        unpack::MemorySource source(aKept.Data(), aKept.Size());
        inside.Scan(source, aMatches, aOverflowed, aAllowed);
    } else {
        TArchiveFileSource source(aFile, *FScannerThread);
        inside.Scan(source, aMatches, aOverflowed, aAllowed);
    }
}

bool TScanner::MayBeArchive(SharedReadFile& aFile, const TObjectBytes& aKept)
{
    if (aKept.Whole())
        return unpack::MayBeArchive(aKept.Data(), aKept.Size());
    return TArchiveScan::MayBeArchive(aFile, aKept.Head(), aKept.HeadSize());
}

void TScanner::ReadHead(SharedReadFile& aFile)
{
    std::uint8_t head[unpack::kSniffHead];
    std::size_t read = 0;
    while (read < sizeof(head)) {
        const DWORD got = aFile.Read(head + read, static_cast<DWORD>(sizeof(head) - read));
        if (got == 0)
            break;
        read += got;
    }
    FKept.BeginHead();
    FKept.Add(head, read);
}

bool TScanner::Remembering() noexcept
{
    const TVerdictCache* verdicts = FScannerThread->Verdicts();
    return verdicts != nullptr && (RemembersObjects() || !verdicts->Empty());
}

bool TScanner::FirstVerdict(const std::wstring& aKey)
{
    TVerdictCache* verdicts = FScannerThread->Verdicts();
    if (verdicts == nullptr)
        return true;
    if (verdicts->Judged(aKey))
        return false;
    if (RemembersObjects())
        verdicts->Remember(aKey);
    return true;
}

std::wstring TScanner::KeyOf(const SharedReadFile& aFile, const std::wstring& aSystemPath)
{
    if (const auto identity = aFile.Identity())
        return TVerdictCache::IdentityKey(identity->first, identity->second);
    return TVerdictCache::PathKey(aSystemPath);
}

void TScanner::NoteAllowed(const TObjectInspector& aInspector, const std::wstring& aKey, bool aJudged)
{
    if (aJudged && aInspector.Allowed())
        FScannerThread->Verdicts()->RememberAllowed(aKey);
}

bool TScanner::EndInspection(TObjectInspector& aInspector, const std::wstring& aShown, bool aComplete)
{
    std::optional<TFinding> finding = aInspector.End(aShown, aComplete);
    if (!finding)
        return false;
    FScannerThread->AddFinding(std::move(*finding));
    return true;
}

void TScanner::RecordFailureNoThrow(const std::wstring& aShown, const std::wstring& aSystemPath, DWORD aCode,
    const std::wstring& aMessage, TSkipped aMissing) noexcept
{
    try {
        RecordFailure(aShown, aSystemPath, aCode, aMessage, aMissing);
    } catch (...) {
        // Without memory for the record the failure goes unrecorded; the scan goes on.
    }
}

void TScanner::RecordFailure(const std::wstring& aShown, const std::wstring& aSystemPath, DWORD aCode,
    const std::wstring& aMessage, TSkipped aMissing)
{
    // The read that Stop cancels, or any failure after it, says nothing about the object.
    if (FScannerThread->Terminated())
        return;
    if (IsMissingPathError(aCode) || (aCode == ERROR_ACCESS_DENIED && IsFolder(aSystemPath))) {
        FScannerThread->CountSkipped(aMissing);
        return;
    }
    TFinding finding;
    finding.Object = aShown;
    finding.Threat = aCode != 0 ? SystemMessage(aCode) : aMessage;
    finding.Kind = TFindingKind::NotScanned;
    finding.ErrorCode = aCode;
    FScannerThread->AddFinding(std::move(finding));
}

void TScanner::ScanBuffer(const std::uint8_t* aBuffer, DWORD aCount)
{
    if (TObjectInspector* inspector = FScannerThread->Inspector())
        inspector->Inspect(aBuffer, aCount);
}

std::uint8_t TScanner::Percentage(std::int32_t aCurrent, std::size_t aCount) noexcept
{
    const std::int64_t percent = (static_cast<std::int64_t>(aCurrent) + 1) * 100 / static_cast<std::int64_t>(aCount);
    return static_cast<std::uint8_t>(percent);
}

SharedReadFile TScanner::OpenObject(const std::wstring& aPath)
{
#if defined(_WIN64)
    // Nothing is redirected for a 64-bit process.
    return SharedReadFile(aPath);
#else
    if (FileExists(aPath))
        return SharedReadFile(aPath);
    const Wow64RedirectionOff nativeView;
    return SharedReadFile(aPath);
#endif
}

bool TScanner::ReadObject(SharedReadFile& aFile, TObjectBytes* aKept)
{
    std::vector<std::uint8_t> buffer(kBlockSize);
    for (;;) {
        while (FScannerThread->Paused() && !FScannerThread->Terminated())
            Sleep(kPausePollMs);
        const DWORD count = aFile.Read(buffer.data(), kBlockSize);
        if (count == 0)
            return true;
        if (aKept != nullptr)
            aKept->Add(buffer.data(), count);
        ScanBuffer(buffer.data(), count);
        if (FScannerThread->Terminated())
            return false;
    }
}
