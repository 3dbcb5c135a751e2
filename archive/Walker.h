// Walks an archive's members, and the members of the archives it holds, through libarchive: each
// member's bytes go to a visitor block by block, within the limits, read through the caller's source.
#pragma once

#include "archive/Limits.h"
#include "archive/Source.h"

#include <bitset>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

struct archive;
struct archive_entry;

namespace unpack {

struct Client;

// What the walker tells of a walk. Calls nest: BeginMember, MemberData..., EndMemberData, then the
// members of the archive that member is (when it is one), then EndMember.
class Visitor {
public:
    virtual ~Visitor() = default;

    // A member begins, named as the archive stores it ("?" when the name cannot be decoded), of
    // aSize bytes as the archive declares it (-1 when it does not).
    virtual void BeginMember(std::wstring_view aName, std::int64_t aSize) = 0;
    virtual void MemberData(const std::uint8_t* aData, std::size_t aCount) = 0;
    // The member's bytes end; aComplete is false when a limit, a failure or Stop cut them short.
    virtual void EndMemberData(bool aComplete) = 0;
    // The member and the members it held are done.
    virtual void EndMember() = 0;
    // The archive aDepth levels down the chain of open members refused something (0: the walked
    // source itself, 1: the first open member, ...); once per cause in a walk. aDetail is the
    // library's message for Damaged and Unsupported, possibly empty.
    virtual void Refused(Refusal aRefusal, std::string_view aDetail, std::size_t aDepth) = 0;
    // Asked after each block: true ends the walk, as Stop does. May wait while the scan is paused.
    virtual bool Stopped() = 0;
};

class Walker {
public:
    explicit Walker(Visitor& aVisitor, const Limits& aLimits = {}) : visitor_(aVisitor), limits_(aLimits) {}
    Walker(const Walker&) = delete;
    Walker& operator=(const Walker&) = delete;

    // Walks aSource's members, from its start, when it is an archive of an enabled format (zip,
    // 7z, rar, rar5, tar, cab; a lone compressed file through gzip, bzip2 or xz); gives no call
    // when it is none.
    // Members that are archives themselves are held in memory and walked in turn. What aSource
    // throws is thrown on, once the members open at that moment have ended as cut short.
    void Walk(Source& aSource);

private:
    enum class Next { Member, Archive, Stop };

    void WalkArchive(Source& aSource, std::size_t aDepth);
    Next ReadEntry(struct archive* aArchive, struct archive_entry* aEntry, std::size_t aDepth);
    Next ReadMember(struct archive* aArchive, std::size_t aDepth);
    Next ReadBlocks(struct archive* aArchive, std::size_t aDepth, std::vector<std::uint8_t>& aHeld, bool& aComplete);
    void WalkHeld(const std::vector<std::uint8_t>& aHeld, std::size_t aDepth);
    void Refuse(Refusal aRefusal, std::size_t aDepth, std::string_view aDetail = {});
    void Failed(struct archive* aArchive, std::size_t aDepth);

    Visitor& visitor_;
    const Limits limits_;
    std::uint64_t total_ = 0;
    bool stopped_ = false;
    // The client of the archive being read: a failure of its source is thrown on.
    struct Client* current_ = nullptr;
    std::bitset<9> refused_;
};

} // namespace unpack
