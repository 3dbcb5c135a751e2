#include "detect/ObjectScan.h"

#include <algorithm>
#include <functional>

namespace detect {
namespace {

constexpr std::size_t ChunkLength = 8192;

bool LaterReady(const auto& a, const auto& b) { return a.ReadyAt > b.ReadyAt; }

bool LaterEnd(const auto& a, const auto& b) {
    if (a.End != b.End) return a.End > b.End;
    if (a.Body != b.Body) return a.Body > b.Body;
    return a.Part > b.Part;
}

} // namespace

ObjectScan::ObjectScan(const Database& aDatabase, HashProvider& aHashes)
    : mDatabase(aDatabase), mBodies(aDatabase.Bodies()), mHashProvider(aHashes), mVerifier(mBodies),
      mProgress(aDatabase.Bodies().Signatures().size()), mActive(aDatabase.Bodies().GroupCount()),
      mActiveObject(aDatabase.Bodies().GroupCount(), 0), mLinks(aDatabase.Bodies().LinkedCount()),
      mLinksObject(aDatabase.Bodies().LinkedCount(), 0) {
    mVerifier.Reserve(mBodies.LongestPart());
}

void ObjectScan::Begin(std::uint64_t aSize) {
    mDeclared = aSize;
    mTotal = 0;
    for (std::uint32_t body : mTouched) mProgress[body] = Progress{};
    mTouched.clear();
    mCandidates.clear();
    mOccurrences.clear();
    mFound.clear();
    mMatches.clear();
    ++mObject;
    mVisits = 0;
    mVerifier.ResetSteps();
    mOverflow = false;
    mAllowed = false;
    mCursor = {};
    mWindow.Reset(ChunkLength + mBodies.LongestPart() + 1);
    for (HashAlgorithm algorithm : HashAlgorithms) {
        auto& hasher = mHashers[static_cast<std::size_t>(algorithm)];
        hasher.reset();
        if (Wants(algorithm, aSize)) hasher = mHashProvider.Create(algorithm);
    }
}

bool ObjectScan::Wants(HashAlgorithm aAlgorithm, std::uint64_t aSize) const {
    for (const PayloadTables& payload : mDatabase.Payloads()) {
        if (payload.Hash(aAlgorithm).Wanted(aSize)) return true;
        if (!mDatabase.HasAllowLists()) continue;
        for (std::size_t i = 0; i < AllowListCount; ++i)
            if (AllowAlgorithms[i] == aAlgorithm && payload.Allowed[i].Wanted(aSize)) return true;
    }
    return false;
}

void ObjectScan::NoteStart(const std::uint8_t* aData, std::size_t aLength) {
    for (std::size_t i = 0; i < aLength && mTotal + i < 2; ++i) mFirst[mTotal + i] = aData[i];
}

bool ObjectScan::IsMz() const { return mTotal >= 2 && mFirst[0] == 'M' && mFirst[1] == 'Z'; }

void ObjectScan::Feed(const std::uint8_t* aData, std::size_t aLength) {
    for (auto& hasher : mHashers)
        if (hasher) hasher->Update(aData, aLength);
    if (mBodies.Automaton().Empty() || mOverflow) {
        NoteStart(aData, aLength);
        mTotal += aLength;
        return;
    }
    mFeed = aData;
    mFeedBase = mTotal;
    mFeedLength = aLength;
    for (std::size_t at = 0; at < aLength; at += ChunkLength)
        ScanChunk(aData + at, std::min(ChunkLength, aLength - at));
}

// Candidates waiting for bytes are verified once the chunk holding them is in the window;
// verified parts are accepted in order of their ends once no later one can end earlier.
void ObjectScan::ScanChunk(const std::uint8_t* aData, std::size_t aLength) {
    NoteStart(aData, aLength);
    mWindow.Append(aData, aLength);
    const std::uint64_t base = mTotal;
    mTotal += aLength;
    if (mOverflow) return;
    Drain(mTotal);
    mBodies.Automaton().Scan(mCursor, aData, aLength, base,
                             [this](std::uint32_t aGroup, std::uint64_t aEnd) {
                                 // A group no user waits on any more costs a test, not a call.
                                 if (mActiveObject[aGroup] != mObject || !mActive[aGroup].empty()) OnGroup(aGroup, aEnd);
                             });
    if (mTotal >= mBodies.Slack()) Release(mTotal - mBodies.Slack());
    CheckWork();
}

void ObjectScan::CheckWork() {
    if (mVisits + mVerifier.Steps() > WorkPerByte * mTotal + WorkAllowance) Overflow();
}

void ObjectScan::Overflow() {
    mOverflow = true;
    mCandidates.clear();
    mOccurrences.clear();
}

std::optional<ObjectScan::Window> ObjectScan::StartWindow(const CompiledBody& aBody, std::uint64_t aSize) const {
    const Offset& where = aBody.Where;
    switch (where.Kind) {
    case OffsetKind::Any: return Window{0, ~std::uint64_t{0}};
    case OffsetKind::Start: return Window{where.Value, where.Value + where.Shift};
    case OffsetKind::Eof: break;
    }
    if (where.Value > aSize) return std::nullopt;
    return Window{aSize - where.Value, aSize - where.Value + where.Shift};
}

std::vector<std::uint32_t>& ObjectScan::Active(std::uint32_t aGroup) {
    std::vector<std::uint32_t>& active = mActive[aGroup];
    if (mActiveObject[aGroup] != mObject) {
        mActiveObject[aGroup] = mObject;
        active.assign(mBodies.StartersBegin(aGroup), mBodies.StartersEnd(aGroup));
    }
    return active;
}

// One hit of an anchor literal: each user still waiting for it is told once, and users that
// can no longer match here or later leave the group's list.
void ObjectScan::OnGroup(std::uint32_t aGroup, std::uint64_t aEnd) {
    if (mOverflow) return;
    // Nothing verified from here on ends before aEnd - Slack.
    if (!mOccurrences.empty() && aEnd >= mBodies.Slack()) Release(aEnd - mBodies.Slack());
    std::vector<std::uint32_t>& active = Active(aGroup);
    mVisits += active.size();
    for (std::size_t i = 0; i < active.size() && !mOverflow;) {
        // A user turned away by the bytes around the anchor stays: only a hit that passes decides
        // whether it leaves.
        const AnchorUser& user = mBodies.User(active[i]);
        if (Refuted(user, aEnd) || (user.OnlyLinks ? LinkNext(user, active[i], aEnd) : OnAnchor(active[i], aEnd))) {
            ++i;
        } else {
            active[i] = active.back();
            active.pop_back();
        }
    }
    // A part enabled here cannot use this hit: its anchor ends after its predecessor's.
    for (std::uint32_t user : mEnabled) Active(mBodies.User(user).Group).push_back(user);
    mEnabled.clear();
    if (mVisits > WorkAllowance) CheckWork();
}

// Whether the bytes around the anchor, when the block being fed holds them, rule the user out.
bool ObjectScan::Refuted(const AnchorUser& aUser, std::uint64_t aEnd) const {
    const std::uint64_t from = aEnd + static_cast<std::uint64_t>(std::int64_t{aUser.ProbeAt}) - mFeedBase;
    return aUser.ProbeMask != 0 && mFeedLength >= 8 && from <= mFeedLength - 8 && aUser.Refutes(mFeed + from);
}

bool ObjectScan::LinkNext(const AnchorUser& aUser, std::uint32_t aValue, std::uint64_t aEnd) {
    const Progress& progress = mProgress[aUser.Body];
    if (progress.Done || aUser.Part < progress.Part) return false;
    Link(mBodies.Signatures()[aUser.Body].Parts[aUser.Part + 1], aEnd);
    if (aUser.Part == progress.Seen) Enable(aValue);
    return true;
}

bool ObjectScan::OnAnchor(std::uint32_t aUser, std::uint64_t aEnd) {
    const AnchorUser& user = mBodies.User(aUser);
    Progress& progress = mProgress[user.Body];
    if (progress.Done || user.Part < progress.Part) return false;
    const CompiledBody& body = mBodies.Signatures()[user.Body];
    if (body.Target == TargetType::MzFile && mTotal >= 2 && !IsMz()) return false;
    const CompiledPart& part = body.Parts[user.Part];
    if (user.Part == 0 && body.Where.Kind != OffsetKind::Any) {
        const std::uint64_t anchorStart = aEnd - (part.AnchorEnd - part.AnchorBegin);
        const auto window = StartWindow(body, mDeclared);
        if (!window) return false;
        if (anchorStart < window->Low + part.MinPrefix) return true;
        if (anchorStart - part.MaxPrefix > window->High && anchorStart >= part.MaxPrefix) return false;
    }
    // A part already verified that no later hit can end before is done with this group.
    if (!part.Chained && progress.BestPart == user.Part && user.Part == progress.Part &&
        progress.Best <= aEnd + part.MinSuffix)
        return false;
    // Every segment that could link to this one has been verified by now.
    if (part.Linked && part.Rigid && !Linked(part, aEnd - (part.AnchorEnd - part.AnchorBegin) - part.MinPrefix))
        return true;
    // A segment that is its anchor alone, with no start window to meet, matched here.
    if (part.Elements.size() == part.AnchorEnd - part.AnchorBegin && !body.EndsPart(user.Part) &&
        (user.Part > 0 || body.Where.Kind == OffsetKind::Any))
        return LinkNext(user, aUser, aEnd);
    const Candidate candidate{aEnd + part.MaxSuffix, aEnd, aUser};
    // With all its bytes here a part is verified at once, and enables the next part only if it matched.
    if (candidate.ReadyAt <= mTotal) {
        if (Check(user, progress, body, part, aEnd) && user.Part == progress.Seen) Enable(aUser);
        return true;
    }
    Enable(aUser);
    Push(mCandidates, candidate, LaterReady<Candidate, Candidate>);
    return true;
}

// The next part's anchor ends after this one's: from here on it can belong to a match.
void ObjectScan::Enable(std::uint32_t aUser) {
    const AnchorUser& user = mBodies.User(aUser);
    Progress& progress = Touch(user.Body);
    if (user.Part == progress.Seen && user.Part + 1 < mBodies.Signatures()[user.Body].Parts.size()) {
        progress.Seen = user.Part + 1;
        mEnabled.push_back(aUser + 1);
    }
}

template <class Item, class Later> void ObjectScan::Push(std::vector<Item>& aHeap, const Item& aItem, Later aLater) {
    if (aHeap.size() >= MaxPending) {
        Overflow();
        return;
    }
    aHeap.push_back(aItem);
    std::push_heap(aHeap.begin(), aHeap.end(), aLater);
}

void ObjectScan::Drain(std::uint64_t aUpTo) {
    while (!mCandidates.empty() && mCandidates.front().ReadyAt <= aUpTo) {
        std::pop_heap(mCandidates.begin(), mCandidates.end(), LaterReady<Candidate, Candidate>);
        const Candidate candidate = mCandidates.back();
        mCandidates.pop_back();
        Verify(candidate);
    }
}

bool ObjectScan::Verify(const Candidate& aCandidate) {
    const AnchorUser& user = mBodies.User(aCandidate.User);
    Progress& progress = mProgress[user.Body];
    if (progress.Done || user.Part < progress.Part) return false;
    const CompiledBody& body = mBodies.Signatures()[user.Body];
    return Check(user, progress, body, body.Parts[user.Part], aCandidate.AnchorEnd);
}

// A rigid linked part's windows were complete when its anchor was found, and checked then.
bool ObjectScan::Check(const AnchorUser& aUser, Progress& aProgress, const CompiledBody& aBody,
                       const CompiledPart& aPart, std::uint64_t aAnchorEnd) {
    std::optional<std::uint64_t> end, start;
    const std::uint64_t anchorStart = aAnchorEnd - (aPart.AnchorEnd - aPart.AnchorBegin);
    std::optional<Window> window = Window{0, ~std::uint64_t{0}};
    if (aUser.Part == 0 && aBody.Where.Kind != OffsetKind::Any) window = StartWindow(aBody, mDeclared);
    if (!window) return false;
    if (aPart.Rigid) { // one start and one end
        if (anchorStart < window->Low + aPart.MinPrefix || anchorStart - aPart.MinPrefix > window->High) return false;
        if (aPart.Elements.size() != aPart.AnchorEnd - aPart.AnchorBegin &&
            !mVerifier.MatchesRigid(aPart, aAnchorEnd, mWindow))
            return false;
        end = aAnchorEnd + aPart.MinSuffix;
        start = anchorStart - aPart.MinPrefix;
    } else {
        end = mVerifier.EarliestEnd(aPart, aAnchorEnd, mWindow);
        if (!end) return false;
        start = aUser.Part == 0 ? mVerifier.EarliestStart(aPart, anchorStart, window->Low, window->High, mWindow)
                                : mVerifier.LatestStart(aPart, anchorStart, mWindow);
        if (!start || (aPart.Linked && !Linked(aPart, *start))) return false;
    }
    if (!aBody.EndsPart(aUser.Part)) {
        Link(aBody.Parts[aUser.Part + 1], *end);
        return true;
    }
    // A chain is a first part: its segments stand for part 0.
    if (IsBest(aUser.Body, aProgress, aPart.Chained ? 0 : aUser.Part, *start, *end))
        Push(mOccurrences, Occurrence{*end, *start, aUser.Body, aUser.Part}, LaterEnd<Occurrence, Occurrence>);
    return true;
}

// For the part being matched, whose least start is known, only an end before the best so far counts.
bool ObjectScan::IsBest(std::uint32_t aBody, Progress& aProgress, std::uint32_t aPart, std::uint64_t aStart, std::uint64_t aEnd) {
    if (aPart != aProgress.Part) return true;
    if (aPart > 0 && aStart < aProgress.Threshold) return false;
    if (aProgress.BestPart == aPart && aProgress.Best <= aEnd) return false;
    Touch(aBody);
    aProgress.BestPart = aPart;
    aProgress.Best = aEnd;
    return true;
}

// Segments of a chain have fixed lengths and are verified in order of their ends, so a
// segment's windows arrive in order and one ending by aEnd is in before any successor needs it.
void ObjectScan::Link(const CompiledPart& aNext, std::uint64_t aEnd) {
    std::vector<Window>& windows = Windows(aNext.LinkSlot);
    // A successor verified from now on starts after aEnd - 2 * LongestPart.
    const std::uint64_t horizon = 2 * std::uint64_t{mBodies.LongestPart()} + 1;
    // Windows end in order: only once the first has gone stale are there any to drop.
    if (!windows.empty() && windows.front().High + horizon < aEnd) {
        std::size_t stale = 1;
        while (stale < windows.size() && windows[stale].High + horizon < aEnd) ++stale;
        windows.erase(windows.begin(), windows.begin() + static_cast<std::ptrdiff_t>(stale));
    }
    const Window added{aEnd + aNext.LinkMin, aEnd + aNext.LinkMax};
    if (!windows.empty() && windows.back().High + 1 >= added.Low) {
        windows.back().High = std::max(windows.back().High, added.High);
        return;
    }
    if (windows.size() >= MaxLinks) {
        Overflow();
        return;
    }
    windows.push_back(added);
}

std::vector<ObjectScan::Window>& ObjectScan::Windows(std::uint32_t aSlot) {
    if (mLinksObject[aSlot] != mObject) {
        mLinksObject[aSlot] = mObject;
        mLinks[aSlot].clear();
    }
    return mLinks[aSlot];
}

bool ObjectScan::Linked(const CompiledPart& aPart, std::uint64_t aStart) {
    for (const Window& window : Windows(aPart.LinkSlot))
        if (window.Low <= aStart && aStart <= window.High) return true;
    return false;
}

void ObjectScan::Release(std::uint64_t aUpTo) {
    while (!mOccurrences.empty() && mOccurrences.front().End <= aUpTo) {
        std::pop_heap(mOccurrences.begin(), mOccurrences.end(), LaterEnd<Occurrence, Occurrence>);
        const Occurrence occurrence = mOccurrences.back();
        mOccurrences.pop_back();
        Accept(occurrence);
    }
}

ObjectScan::Progress& ObjectScan::Touch(std::uint32_t aBody) {
    Progress& progress = mProgress[aBody];
    if (!progress.Touched) {
        progress.Touched = true;
        mTouched.push_back(aBody);
    }
    return progress;
}

void ObjectScan::Accept(const Occurrence& aOccurrence) {
    Progress& progress = Touch(aOccurrence.Body);
    const CompiledBody& body = mBodies.Signatures()[aOccurrence.Body];
    const std::uint32_t part = body.Parts[aOccurrence.Part].Chained ? 0 : aOccurrence.Part;
    if (progress.Done || part != progress.Part) return;
    if (part == 0) progress.Start = aOccurrence.Start;
    else if (aOccurrence.Start < progress.Threshold) return;
    if (aOccurrence.Part + 1 == body.Parts.size()) {
        progress.Done = true;
        mFound.emplace_back(aOccurrence.Body, aOccurrence.End);
        return;
    }
    progress.Part = aOccurrence.Part + 1;
    progress.Threshold = aOccurrence.End + body.Parts[progress.Part].GapMin;
}

void ObjectScan::CollectBodies(bool aComplete) {
    for (const auto& [index, end] : mFound) {
        const CompiledBody& body = mBodies.Signatures()[index];
        if (body.Target == TargetType::MzFile && !IsMz()) continue;
        if (body.Where.Kind == OffsetKind::Eof) {
            if (!aComplete) continue;
            const auto window = StartWindow(body, mTotal);
            const std::uint64_t start = mProgress[index].Start;
            if (!window || start < window->Low || start > window->High) continue;
        }
        mMatches.push_back({body.Signature, std::string(body.Name), MatchKind::Body, end});
    }
    std::sort(mMatches.begin(), mMatches.end(), [](const Match& a, const Match& b) {
        return a.End != b.End ? a.End < b.End : a.Signature < b.Signature;
    });
}

void ObjectScan::FinishDigests() {
    for (HashAlgorithm algorithm : HashAlgorithms) {
        const auto i = static_cast<std::size_t>(algorithm);
        if (mHashers[i]) mHashers[i]->Final(mDigests[i].data());
    }
}

bool ObjectScan::OnAllowList() const {
    for (const PayloadTables& payload : mDatabase.Payloads()) {
        for (std::size_t i = 0; i < AllowListCount; ++i) {
            const auto algorithm = static_cast<std::size_t>(AllowAlgorithms[i]);
            if (mHashers[algorithm] && payload.Allowed[i].Contains(mTotal, mDigests[algorithm].data())) return true;
        }
    }
    return false;
}

// Each payload's hash findings follow its names' order, which is the order of its lines; the
// payloads follow their load order.
void ObjectScan::CollectHashes() {
    for (const PayloadTables& payload : mDatabase.Payloads()) {
        mHits.clear();
        for (HashAlgorithm algorithm : HashAlgorithms) {
            const auto i = static_cast<std::size_t>(algorithm);
            if (mHashers[i]) payload.Hash(algorithm).Find(mTotal, mDigests[i].data(), mHits);
        }
        std::stable_sort(mHits.begin(), mHits.end(),
                         [](const HashHit& a, const HashHit& b) { return a.NameKey < b.NameKey; });
        for (const HashHit& hit : mHits)
            mMatches.push_back({hit.Signature, payload.Names.Name(hit.NameKey), MatchKind::Hash, mTotal});
    }
}

const std::vector<Match>& ObjectScan::End(bool aComplete) {
    Drain(~std::uint64_t{0});
    Release(~std::uint64_t{0});
    mMatches.clear();
    mHidden.clear();
    if (aComplete) FinishDigests();
    CollectBodies(aComplete);
    if (aComplete) {
        CollectHashes();
        mAllowed = mDatabase.HasAllowLists() && OnAllowList();
    }
    if (mAllowed) {
        mOverflow = false;
        mHidden.swap(mMatches);
    }
    for (auto& hasher : mHashers) hasher.reset();
    return mMatches;
}

} // namespace detect
