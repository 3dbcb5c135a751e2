// The common base of the scanners: the step protocol and the object reader.
#pragma once

#include "platform/SharedReadFile.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "detect/Match.h"

#include "scan/ObjectBytes.h"
#include "scan/SkippedCounts.h"

class TObjectInspector;
class TScanHost;

class TScanner {
public:
    explicit TScanner(TScanHost* aScannerThread) : FScannerThread(aScannerThread) {}
    virtual ~TScanner() = default;
    TScanner(const TScanner&) = delete;
    TScanner& operator=(const TScanner&) = delete;

    // Scans the next object and returns true, or returns false when none is left.
    virtual bool ScanNext() { return false; }

protected:
    // True for scanners whose objects the file scanner may reach again (memory, registry): the
    // verdict on each is kept, and later reports of the same file read, count and list nothing.
    virtual bool RemembersObjects() const noexcept { return false; }
    // True for a scanner that looks inside the archives it reads (the file scanner, with Archives):
    // once a file has been matched as it is, each of its members is matched as an object of its
    // own (TArchiveScan), also in a file another scanner judged first.
    virtual bool LooksInsideArchives() const noexcept { return false; }

    // Resolves aPath (ResolveFilePath), a registered server or module path, and reads the file
    // as ScanObject does, named by its resolved path. A path that cannot be resolved, or names no
    // file, is counted as a registered file that does not exist. An empty path reads nothing.
    // aWow64View: the path was read where 32-bit programs keep theirs, and is resolved as one
    // of them would (ResolveWow64FilePath).
    void ScanFile(const std::wstring& aPath, bool aWow64View = false);
    // Reads the file aSystemPath in 8192-byte blocks, handing each to ScanBuffer between the
    // beginning and the end of the object's inspection; findings name it aShown. An object that
    // matched a signature becomes a finding, also when its read fails or Stop cuts it short
    // (with the body matches found before). Otherwise a file that exists but cannot be opened or
    // read becomes a "Not scanned" finding with the system's message and code; one that is not
    // there is counted as aMissing; a failure after Stop was requested is dropped. Any other
    // failure (lack of memory among them, with the system's message for ERROR_NOT_ENOUGH_MEMORY)
    // is a "Not scanned" finding too. While the worker is paused the read holds its position
    // between blocks. A file another scanner already judged in this scan (TVerdictCache) is
    // not read again. Never throws.
    void ScanObject(const std::wstring& aShown, const std::wstring& aSystemPath, TSkipped aMissing);
    // The inspection of one block of aCount bytes (1 to 8192) of the object being read.
    virtual void ScanBuffer(const std::uint8_t* aBuffer, DWORD aCount);
    // (aCurrent + 1) * 100 / aCount in 64-bit arithmetic.
    static std::uint8_t Percentage(std::int32_t aCurrent, std::size_t aCount) noexcept;

    TScanHost* const FScannerThread;

private:
    // Opens the resolved path, through the native system folders when the plain test finds no file.
    static SharedReadFile OpenObject(const std::wstring& aPath);
    // Hands the file's blocks to ScanBuffer, waiting between blocks while paused; stops early when
    // the worker is asked to terminate. The blocks go to aKept too, when given. True when the end
    // of the file was reached.
    bool ReadObject(SharedReadFile& aFile, TObjectBytes* aKept = nullptr);
    // The inside of aFile, read to its end and matched as aMatches, when it is an archive, from
    // aKept when it holds the whole file; then the file's own finding; an allowed file (aAllowed) has neither. Throws what reading
    // throws, after both.
    void LookInside(SharedReadFile& aFile, const std::wstring& aShown, const TObjectBytes& aKept,
        TObjectInspector& aInspector, const std::vector<detect::Match>& aMatches, bool aOverflowed,
        bool aAllowed);
    // Whether aFile may be an archive, from aKept's bytes, and from the file's tail when needed.
    static bool MayBeArchive(SharedReadFile& aFile, const TObjectBytes& aKept);
    // The first bytes of aFile, read from its start into FKept, for LookInside.
    void ReadHead(SharedReadFile& aFile);
    // Opens the object at aSystemPath and reads it, inspected by aInspector when there is one;
    // a threat is named aShown. Returns early for a file already judged. Throws what opening and
    // reading throw, after the inspection of what was read has ended, unless the object matched
    // before the failure.
    void ReadInspected(const std::wstring& aShown, const std::wstring& aSystemPath, TObjectInspector* aInspector);
    // False when the file of aKey was judged already in this scan; otherwise true, and the key is
    // remembered when this scanner remembers its objects.
    bool FirstVerdict(const std::wstring& aKey);
    // Whether the verdict cache matters for this object: this scanner remembers, or another did.
    bool Remembering() noexcept;
    // The verdict cache's key for an opened file: its identity, else aSystemPath's.
    static std::wstring KeyOf(const SharedReadFile& aFile, const std::wstring& aSystemPath);
    // After an inspection that judged the file (aJudged), notes in the verdict cache whether it is allowed.
    void NoteAllowed(const TObjectInspector& aInspector, const std::wstring& aKey, bool aJudged);
    // Ends the inspection: true when the object became a finding.
    bool EndInspection(TObjectInspector& aInspector, const std::wstring& aShown, bool aComplete);
    // A failure to read aShown with the system's aCode (0 for none, then aMessage is shown).
    void RecordFailure(const std::wstring& aShown, const std::wstring& aSystemPath, DWORD aCode,
        const std::wstring& aMessage, TSkipped aMissing);
    // RecordFailure; a failure to record is dropped.
    void RecordFailureNoThrow(const std::wstring& aShown, const std::wstring& aSystemPath, DWORD aCode,
        const std::wstring& aMessage, TSkipped aMissing) noexcept;

    // The object being read, as far as the look inside archives needs it; reused from object to object.
    TObjectBytes FKept;
};
