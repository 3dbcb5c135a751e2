// The inside of an archive on disk, matched member by member through the same inspector as the
// file: each member a finding of its own, named "archive->member" ("a.zip->inner.7z->evil.exe"
// when nested), and each limit or failure one "Not scanned" finding for its archive. Nothing is
// reported inside an archive on an allow list.
#pragma once

#include "archive/Walker.h"
#include "detect/Match.h"

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

class SharedReadFile;
class TObjectInspector;
class TScanHost;

class TArchiveScan final : private unpack::Visitor {
public:
    // aInspector and aHost must outlive the scan. aShown names the file in findings.
    TArchiveScan(TScanHost& aHost, TObjectInspector& aInspector, const std::wstring& aShown);

    // Walks aFile's members, when it is an archive, then decides the file's own finding from
    // aFileMatches, less every signature matched inside a member. An allowed file (aFileAllowed)
    // is not walked. Throws what reading aFile throws, once the members read so far and the
    // file have been decided.
    void Scan(SharedReadFile& aFile, const std::vector<detect::Match>& aFileMatches, bool aFileOverflowed,
        bool aFileAllowed);

    // Whether aFile, read from its start, may be an archive: its first bytes, and for a program
    // the zip directory at its end. aHead holds up to unpack::kSniffHead first bytes. Moves the
    // file's position.
    static bool MayBeArchive(SharedReadFile& aFile, const std::vector<std::uint8_t>& aHead);

private:
    // An object open in the chain: the file, then each member being read inside it.
    struct Level {
        std::wstring Object;
        std::vector<detect::Match> Matches;
        bool Overflowed = false;
        // On an allow list, or inside an object that is: it reports nothing.
        bool Allowed = false;
        // Signatures matched inside the members it held.
        std::set<std::uint32_t> Inner;
    };

    void BeginMember(std::wstring_view aName, std::int64_t aSize) override;
    void MemberData(const std::uint8_t* aData, std::size_t aCount) override;
    void EndMemberData(bool aComplete) override;
    void EndMember() override;
    void Refused(unpack::Refusal aRefusal, std::string_view aDetail, std::size_t aDepth) override;
    bool Stopped() override;
    // The finding of the innermost level, which then closes.
    void Close();

    TScanHost& FHost;
    TObjectInspector& FInspector;
    std::vector<Level> FLevels;
};
