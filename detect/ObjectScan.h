#pragma once

#include "detect/Database.h"
#include "detect/Hash.h"
#include "detect/Match.h"
#include "detect/PartVerifier.h"
#include "detect/StreamWindow.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace detect {

// Matches one object at a time against a database, from blocks of any size.
// Reusable; not thread-safe: one per thread. Memory is bounded by the database's
// longest pattern part, never by the object's size. The pending partial matches and the work
// per byte are bounded too: an object that exceeds a bound stops being matched and reports
// Overflowed(), never a silent miss.
class ObjectScan {
public:
    static constexpr std::size_t MaxPending = 1 << 18;  // candidates, and verified parts, waiting
    static constexpr std::size_t MaxLinks = 256;        // distance windows kept per chain segment
    static constexpr std::uint64_t WorkPerByte = 64;    // anchor users visited and verifier steps
    static constexpr std::uint64_t WorkAllowance = std::uint64_t{1} << 26;

    ObjectScan(const Database& aDatabase, HashProvider& aHashes);

    // An object whose size is not known before its end: every hash is computed.
    static constexpr std::uint64_t UnknownSize = ~std::uint64_t{0};

    // aSize is the size as the file reports it: it decides which hashes are computed.
    void Begin(std::uint64_t aSize);
    void Feed(const std::uint8_t* aData, std::size_t aLength);
    // Every matching signature once, body matches by end (then database order), then hash
    // matches in database order. aComplete=false (the object was cut short) keeps the body
    // matches found so far and gives no hash and no EOF-n verdict. An object on an allow list
    // gives no match at all.
    const std::vector<Match>& End(bool aComplete);
    // Whether the object that just ended, complete, is on an allow list.
    bool Allowed() const { return mAllowed; }
    // For an allowed object, the matches the allow list hid, in End's order: an archive holding
    // the object must not be reported for them either.
    const std::vector<Match>& Hidden() const { return mHidden; }
    // Whether the object exceeded a bound: it was not matched to its end, and only the body
    // matches found before are in End's list. Never for an allowed object.
    bool Overflowed() const { return mOverflow; }

private:
    struct Candidate { // an anchor found, verified once the part's longest suffix is in
        std::uint64_t ReadyAt;
        std::uint64_t AnchorEnd;
        std::uint32_t User;
    };
    struct Occurrence { // a verified part, taken in order of its earliest end
        std::uint64_t End;
        std::uint64_t Start; // first part: its chosen start; later parts: the latest start
        std::uint32_t Body;
        std::uint32_t Part;
    };
    struct Progress {
        std::uint32_t Part = 0;
        std::uint32_t Seen = 0; // parts whose predecessor's anchor has been found
        bool Done = false;
        bool Touched = false;
        std::uint64_t Threshold = 0; // least start of Part
        std::uint64_t Start = 0;     // start of the first part
        std::uint32_t BestPart = ~std::uint32_t{0};
        std::uint64_t Best = 0; // least end verified of BestPart, once it is Part
    };
    struct Window {
        std::uint64_t Low, High;
    };

    void ScanChunk(const std::uint8_t* aData, std::size_t aLength);
    void OnGroup(std::uint32_t aGroup, std::uint64_t aEnd);
    bool Refuted(const AnchorUser& aUser, std::uint64_t aEnd) const;
    bool OnAnchor(std::uint32_t aUser, std::uint64_t aEnd);
    bool LinkNext(const AnchorUser& aUser, std::uint32_t aValue, std::uint64_t aEnd);
    std::vector<std::uint32_t>& Active(std::uint32_t aGroup);
    void Drain(std::uint64_t aUpTo);
    bool Verify(const Candidate& aCandidate); // whether the part matched around the anchor
    bool Check(const AnchorUser& aUser, Progress& aProgress, const CompiledBody& aBody, const CompiledPart& aPart,
               std::uint64_t aAnchorEnd);
    void Enable(std::uint32_t aUser);
    bool IsBest(std::uint32_t aBody, Progress& aProgress, std::uint32_t aPart, std::uint64_t aStart, std::uint64_t aEnd);
    void Link(const CompiledPart& aNext, std::uint64_t aEnd);
    bool Linked(const CompiledPart& aPart, std::uint64_t aStart);
    std::vector<Window>& Windows(std::uint32_t aSlot);
    void Release(std::uint64_t aUpTo);
    void Accept(const Occurrence& aOccurrence);
    template <class Item, class Later> void Push(std::vector<Item>& aHeap, const Item& aItem, Later aLater);
    void CheckWork();
    void Overflow();
    Progress& Touch(std::uint32_t aBody);
    std::optional<Window> StartWindow(const CompiledBody& aBody, std::uint64_t aSize) const;
    bool IsMz() const;
    void NoteStart(const std::uint8_t* aData, std::size_t aLength);
    bool Wants(HashAlgorithm aAlgorithm, std::uint64_t aSize) const;
    void FinishDigests();
    bool OnAllowList() const;
    void CollectBodies(bool aComplete);
    void CollectHashes();

    const Database& mDatabase;
    const BodySet& mBodies;
    HashProvider& mHashProvider;
    std::array<std::unique_ptr<Hasher>, HashAlgorithmCount> mHashers;
    std::array<std::array<std::uint8_t, MaxDigestLength>, HashAlgorithmCount> mDigests{};
    std::vector<HashHit> mHits;
    bool mAllowed = false;
    std::uint64_t mDeclared = 0;
    std::uint64_t mTotal = 0;
    std::uint8_t mFirst[2] = {0, 0};
    const std::uint8_t* mFeed = nullptr; // the block being fed, from offset mFeedBase
    std::uint64_t mFeedBase = 0;
    std::size_t mFeedLength = 0;
    LiteralAutomaton::Cursor mCursor;
    StreamWindow mWindow;
    PartVerifier mVerifier;
    std::vector<Candidate> mCandidates;   // min-heap on ReadyAt
    std::vector<Occurrence> mOccurrences; // min-heap on (End, Body, Part)
    std::vector<Progress> mProgress;
    std::vector<std::uint32_t> mTouched;
    // Per anchor group, the users it must tell: first parts, and later parts once enabled.
    std::vector<std::vector<std::uint32_t>> mActive;
    std::vector<std::uint64_t> mActiveObject; // the object whose users mActive holds
    std::uint64_t mObject = 0;
    std::vector<std::uint32_t> mEnabled; // users enabled by the current hit
    // Per linked segment: where it may start, from its predecessor's ends.
    std::vector<std::vector<Window>> mLinks;
    std::vector<std::uint64_t> mLinksObject; // the object whose windows mLinks holds
    std::uint64_t mVisits = 0;
    bool mOverflow = false;
    std::vector<std::pair<std::uint32_t, std::uint64_t>> mFound; // body, end
    std::vector<Match> mMatches;
    std::vector<Match> mHidden;
};

} // namespace detect
