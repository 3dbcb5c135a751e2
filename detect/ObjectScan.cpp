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
      mProgress(aDatabase.Bodies().Signatures().size()) {
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
    mCursor = {};
    mWindow.Reset(ChunkLength + mBodies.LongestPart() + 1);
    for (HashAlgorithm algorithm : HashAlgorithms) {
        auto& hasher = mHashers[static_cast<std::size_t>(algorithm)];
        hasher.reset();
        const HashIndex& index = mDatabase.Hashes(algorithm);
        if (index.Count() > 0 && (aSize == UnknownSize || index.Wanted(aSize)))
            hasher = mHashProvider.Create(algorithm);
    }
}

void ObjectScan::NoteStart(const std::uint8_t* aData, std::size_t aLength) {
    for (std::size_t i = 0; i < aLength && mTotal + i < 2; ++i) mFirst[mTotal + i] = aData[i];
}

bool ObjectScan::IsMz() const { return mTotal >= 2 && mFirst[0] == 'M' && mFirst[1] == 'Z'; }

void ObjectScan::Feed(const std::uint8_t* aData, std::size_t aLength) {
    for (auto& hasher : mHashers)
        if (hasher) hasher->Update(aData, aLength);
    if (mBodies.Automaton().Empty()) {
        NoteStart(aData, aLength);
        mTotal += aLength;
        return;
    }
    for (std::size_t at = 0; at < aLength; at += ChunkLength)
        ScanChunk(aData + at, std::min(ChunkLength, aLength - at));
}

void ObjectScan::ScanChunk(const std::uint8_t* aData, std::size_t aLength) {
    NoteStart(aData, aLength);
    mWindow.Append(aData, aLength);
    const std::uint64_t base = mTotal;
    mTotal += aLength;
    mBodies.Automaton().Scan(mCursor, aData, aLength, base,
                             [this](std::uint32_t aUser, std::uint64_t aEnd) { OnAnchor(aUser, aEnd); });
    Drain(false);
    Release(false);
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

void ObjectScan::OnAnchor(std::uint32_t aUser, std::uint64_t aEnd) {
    const AnchorUser& user = mBodies.User(aUser);
    const Progress& progress = mProgress[user.Body];
    if (progress.Done || user.Part < progress.Part) return;
    const CompiledBody& body = mBodies.Signatures()[user.Body];
    if (body.Target == TargetType::MzFile && mTotal >= 2 && !IsMz()) return;
    const CompiledPart& part = body.Parts[user.Part];
    // A part starts after the previous part ends, so its anchor ends after the previous
    // anchor: until that anchor has been found, this one cannot belong to a match.
    if (user.Part > progress.Seen && part.AnchorEnd > part.AnchorBegin) return;
    if (user.Part == 0) {
        const std::uint64_t anchorStart = aEnd - (part.AnchorEnd - part.AnchorBegin);
        const auto window = StartWindow(body, mDeclared);
        if (!window || anchorStart < window->Low + part.MinPrefix) return;
        if (anchorStart - part.MaxPrefix > window->High && anchorStart >= part.MaxPrefix) return;
    }
    Progress& seen = Touch(user.Body);
    seen.Seen = std::max(seen.Seen, user.Part + 1);
    mCandidates.push_back({aEnd + part.MaxSuffix, aEnd, aUser});
    std::push_heap(mCandidates.begin(), mCandidates.end(), LaterReady<Candidate, Candidate>);
}

void ObjectScan::Drain(bool aAll) {
    while (!mCandidates.empty() && (aAll || mCandidates.front().ReadyAt <= mTotal)) {
        std::pop_heap(mCandidates.begin(), mCandidates.end(), LaterReady<Candidate, Candidate>);
        const Candidate candidate = mCandidates.back();
        mCandidates.pop_back();
        Verify(candidate);
    }
}

void ObjectScan::Verify(const Candidate& aCandidate) {
    const AnchorUser& user = mBodies.User(aCandidate.User);
    const Progress& progress = mProgress[user.Body];
    if (progress.Done || user.Part < progress.Part) return;
    const CompiledBody& body = mBodies.Signatures()[user.Body];
    const CompiledPart& part = body.Parts[user.Part];
    const auto end = mVerifier.EarliestEnd(part, aCandidate.AnchorEnd, mWindow);
    if (!end) return;
    const std::uint64_t anchorStart = aCandidate.AnchorEnd - (part.AnchorEnd - part.AnchorBegin);
    std::optional<std::uint64_t> start;
    if (user.Part == 0) {
        const auto window = StartWindow(body, mDeclared);
        if (window) start = mVerifier.EarliestStart(part, anchorStart, window->Low, window->High, mWindow);
    } else {
        start = mVerifier.LatestStart(part, anchorStart, mWindow);
    }
    if (!start) return;
    mOccurrences.push_back({*end, *start, user.Body, user.Part});
    std::push_heap(mOccurrences.begin(), mOccurrences.end(), LaterEnd<Occurrence, Occurrence>);
}

void ObjectScan::Release(bool aAll) {
    // A part verified later ends after mTotal - Slack, so earlier ends are final in order.
    while (!mOccurrences.empty() && (aAll || mOccurrences.front().End + mBodies.Slack() <= mTotal)) {
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
    if (progress.Done || aOccurrence.Part != progress.Part) return;
    if (aOccurrence.Part == 0) progress.Start = aOccurrence.Start;
    else if (aOccurrence.Start < progress.Threshold) return;
    const CompiledBody& body = mBodies.Signatures()[aOccurrence.Body];
    if (aOccurrence.Part + 1 == body.Parts.size()) {
        progress.Done = true;
        mFound.emplace_back(aOccurrence.Body, aOccurrence.End);
        return;
    }
    ++progress.Part;
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
        mMatches.push_back({body.Signature, body.Name, MatchKind::Body, end});
    }
    std::sort(mMatches.begin(), mMatches.end(), [](const Match& a, const Match& b) {
        return a.End != b.End ? a.End < b.End : a.Signature < b.Signature;
    });
}

void ObjectScan::CollectHashes() {
    const std::size_t first = mMatches.size();
    for (HashAlgorithm algorithm : HashAlgorithms) {
        auto& hasher = mHashers[static_cast<std::size_t>(algorithm)];
        if (!hasher) continue;
        std::uint8_t digest[MaxDigestLength] = {};
        hasher->Final(digest);
        mDatabase.Hashes(algorithm).Find(mTotal, digest, mMatches);
    }
    // The writer stores hash names in database order: their place in the payload is the lines' order.
    std::stable_sort(mMatches.begin() + static_cast<std::ptrdiff_t>(first), mMatches.end(),
                     [](const Match& a, const Match& b) { return std::less<const char*>()(a.Name.data(), b.Name.data()); });
}

const std::vector<Match>& ObjectScan::End(bool aComplete) {
    Drain(true);
    Release(true);
    mMatches.clear();
    CollectBodies(aComplete);
    if (aComplete) CollectHashes();
    for (auto& hasher : mHashers) hasher.reset();
    return mMatches;
}

} // namespace detect
