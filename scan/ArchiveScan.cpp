// The archive scan: the walker's visitor in front of the inspector and the worker.
#include "scan/ArchiveScan.h"

#include "archive/Sniff.h"
#include "detect/ObjectScan.h"
#include "platform/SharedReadFile.h"
#include "platform/Utf8.h"
#include "scan/ArchiveSource.h"
#include "scan/ObjectInspector.h"
#include "scan/ScanHost.h"

#include <windows.h>

#include <algorithm>

namespace {
constexpr DWORD kPausePollMs = 20;
}

TArchiveScan::TArchiveScan(TScanHost& aHost, TObjectInspector& aInspector, const std::wstring& aShown)
    : FHost(aHost), FInspector(aInspector)
{
    FLevels.push_back({aShown, {}, false, false, {}});
}

void TArchiveScan::Scan(SharedReadFile& aFile, const std::vector<detect::Match>& aFileMatches, bool aFileOverflowed,
    bool aFileAllowed)
{
    FLevels.front().Matches = aFileMatches;
    FLevels.front().Overflowed = aFileOverflowed;
    FLevels.front().Allowed = aFileAllowed;
    if (aFileAllowed) {
        Close();
        return;
    }
    TArchiveFileSource source(aFile, FHost);
    unpack::Walker walker(*this);
    try {
        aFile.Seek(0, FILE_BEGIN);
        walker.Walk(source);
    } catch (...) {
        while (!FLevels.empty())
            Close();
        throw;
    }
    Close();
}

bool TArchiveScan::MayBeArchive(SharedReadFile& aFile, const std::vector<std::uint8_t>& aHead)
{
    switch (unpack::SniffHead(aHead.data(), aHead.size())) {
    case unpack::Sniffed::Yes:
        return true;
    case unpack::Sniffed::No:
        return false;
    case unpack::Sniffed::Program:
        break;
    }
    const std::int64_t size = aFile.Seek(0, FILE_END);
    const auto count = static_cast<DWORD>(std::min<std::int64_t>(size, unpack::kSniffTail));
    std::vector<std::uint8_t> tail(count);
    aFile.Seek(-static_cast<std::int64_t>(count), FILE_END);
    DWORD read = 0;
    while (read < count) {
        const DWORD got = aFile.Read(tail.data() + read, count - read);
        if (got == 0)
            break;
        read += got;
    }
    return unpack::TailHasZipDirectory(tail.data(), read);
}

// The size an archive declares is the archive's word, not the system's: every hash is computed.
void TArchiveScan::BeginMember(std::wstring_view aName, std::int64_t /*aSize*/)
{
    FLevels.push_back({FLevels.back().Object + L"->" + std::wstring(aName), {}, false, FLevels.back().Allowed, {}});
    FHost.ShowObject(FLevels.back().Object);
    FInspector.Begin(detect::ObjectScan::UnknownSize);
}

void TArchiveScan::MemberData(const std::uint8_t* aData, std::size_t aCount)
{
    FInspector.Inspect(aData, aCount);
}

void TArchiveScan::EndMemberData(bool aComplete)
{
    FLevels.back().Matches = FInspector.EndMatches(aComplete);
    FLevels.back().Overflowed = FInspector.Overflowed();
    if (FInspector.Allowed()) {
        // What the allow list hid belongs to this member: the archive is not reported for it.
        FLevels.back().Allowed = true;
        for (const detect::Match& match : FInspector.Hidden())
            FLevels.back().Inner.insert(match.Signature);
    }
}

void TArchiveScan::EndMember()
{
    Close();
}

void TArchiveScan::Close()
{
    if (FLevels.empty())
        return;
    Level level = std::move(FLevels.back());
    FLevels.pop_back();
    std::vector<detect::Match> own;
    for (const detect::Match& match : level.Matches) {
        if (level.Inner.count(match.Signature) == 0)
            own.push_back(match);
    }
    if (!FLevels.empty()) {
        Level& parent = FLevels.back();
        parent.Inner.insert(level.Inner.begin(), level.Inner.end());
        for (const detect::Match& match : level.Matches)
            parent.Inner.insert(match.Signature);
    }
    if (level.Allowed)
        return;
    if (std::optional<TFinding> finding = FInspector.Decide(own, level.Object, level.Overflowed))
        FHost.AddFinding(std::move(*finding));
}

void TArchiveScan::Refused(unpack::Refusal aRefusal, std::string_view aDetail, std::size_t aDepth)
{
    const Level& level = FLevels[std::min(aDepth, FLevels.size() - 1)];
    if (level.Allowed)
        return;
    const std::string_view text = unpack::RefusalText(aRefusal);
    TFinding finding;
    finding.Object = level.Object;
    finding.Threat = FromUtf8(text);
    if (!aDetail.empty())
        finding.Threat += L": " + FromUtf8(aDetail);
    finding.Kind = TFindingKind::NotScanned;
    FHost.AddFinding(std::move(finding));
}

bool TArchiveScan::Stopped()
{
    while (FHost.Paused() && !FHost.Terminated())
        Sleep(kPausePollMs);
    return FHost.Terminated();
}
