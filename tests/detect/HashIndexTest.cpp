#include "detect/HashIndex.h"
#include "detect/PayloadFormat.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <tuple>
#include <vector>

namespace {

using detect::HashAlgorithm;
using detect::HashHit;
using detect::HashIndex;

constexpr std::size_t DigestLength = 16;
constexpr std::size_t RecordLength = detect::format::RecordLength(DigestLength);

struct Entry {
    std::vector<std::uint8_t> Digest;
    std::uint64_t Size;
};

// Records sorted as the builder writes them: by size, then digest; the name key is the position.
std::vector<std::uint8_t> Records(std::vector<Entry> aEntries) {
    std::stable_sort(aEntries.begin(), aEntries.end(), [](const Entry& a, const Entry& b) {
        return std::tie(a.Size, a.Digest) < std::tie(b.Size, b.Digest);
    });
    std::vector<std::uint8_t> records(aEntries.size() * RecordLength);
    for (std::size_t i = 0; i < aEntries.size(); ++i) {
        std::uint8_t* record = records.data() + i * RecordLength;
        std::memcpy(record, aEntries[i].Digest.data(), DigestLength);
        for (int b = 0; b < 8; ++b) record[DigestLength + b] = static_cast<std::uint8_t>(aEntries[i].Size >> (8 * b));
        for (int b = 0; b < 4; ++b) record[DigestLength + 8 + b] = static_cast<std::uint8_t>(i >> (8 * b));
    }
    return records;
}

std::vector<std::uint32_t> Linear(const std::vector<std::uint8_t>& aRecords, std::uint64_t aSize, const std::uint8_t* aDigest) {
    std::vector<std::uint32_t> found;
    for (std::size_t i = 0; i * RecordLength < aRecords.size(); ++i) {
        const std::uint8_t* record = aRecords.data() + i * RecordLength;
        if (detect::format::Read64(record + DigestLength) == aSize && std::memcmp(record, aDigest, DigestLength) == 0)
            found.push_back(static_cast<std::uint32_t>(i));
    }
    return found;
}

// Many records of few sizes, so that long runs share a size and the search's steps land inside
// them; some digests share their first eight bytes, some records repeat, and "*" records end it.
std::vector<Entry> Crowd(std::mt19937& aRandom) {
    std::vector<Entry> entries;
    for (int i = 0; i < 5000; ++i) {
        Entry entry{std::vector<std::uint8_t>(DigestLength), 1000 + aRandom() % 4};
        for (auto& byte : entry.Digest) byte = static_cast<std::uint8_t>(aRandom());
        if (i % 7 == 0) std::fill_n(entry.Digest.begin(), 8, std::uint8_t{0x5A});
        if (i % 11 == 0) std::fill(entry.Digest.begin(), entry.Digest.end(), std::uint8_t{0x00});
        if (i % 50 == 0) entry.Size = detect::format::AnySize;
        entries.push_back(entry);
    }
    return entries;
}

TEST(HashIndex, FindsExactlyTheRecordsALinearSearchFinds) {
    std::mt19937 random(5);
    const std::vector<Entry> entries = Crowd(random);
    const std::vector<std::uint8_t> records = Records(entries);
    const HashIndex index(HashAlgorithm::Md5, records.data(), entries.size(), 100);
    std::vector<Entry> probes = entries;
    for (int i = 0; i < 200; ++i) probes.push_back({std::vector<std::uint8_t>(DigestLength, static_cast<std::uint8_t>(i)), 1000u + i % 6});
    std::erase_if(probes, [](const Entry& e) { return e.Size == detect::format::AnySize; }); // objects have sizes
    for (const Entry& probe : probes) {
        std::vector<std::uint32_t> expected = Linear(records, probe.Size, probe.Digest.data());
        const auto any = Linear(records, detect::format::AnySize, probe.Digest.data());
        expected.insert(expected.end(), any.begin(), any.end());
        std::vector<HashHit> hits;
        index.Find(probe.Size, probe.Digest.data(), hits);
        std::vector<std::uint32_t> names;
        for (const HashHit& hit : hits) {
            EXPECT_EQ(hit.Signature, 100 + hit.NameKey);
            names.push_back(hit.NameKey);
        }
        ASSERT_EQ(names, expected) << "size " << probe.Size;
        EXPECT_EQ(index.Contains(probe.Size, probe.Digest.data()), !expected.empty());
    }
}

TEST(HashIndex, WantsOnlyNamedSizesUnlessAnyRecordSaysAnySize) {
    std::mt19937 random(6);
    std::vector<Entry> entries = Crowd(random);
    std::erase_if(entries, [](const Entry& e) { return e.Size == detect::format::AnySize; });
    const std::vector<std::uint8_t> records = Records(entries);
    const HashIndex index(HashAlgorithm::Md5, records.data(), entries.size(), 0);
    for (std::uint64_t size = 990; size < 1010; ++size) EXPECT_EQ(index.Wanted(size), size >= 1000 && size < 1004) << size;
    entries.push_back({std::vector<std::uint8_t>(DigestLength, 1), detect::format::AnySize});
    const std::vector<std::uint8_t> withAny = Records(entries);
    EXPECT_TRUE(HashIndex(HashAlgorithm::Md5, withAny.data(), entries.size(), 0).Wanted(5));
}

TEST(HashIndex, RecordsOutOfOrderGiveAnswersWithinTheTable) {
    std::mt19937 random(7);
    const std::vector<Entry> entries = Crowd(random);
    std::vector<std::uint8_t> records = Records(entries);
    std::vector<std::uint8_t> shuffled(records.size());
    std::vector<std::size_t> order(entries.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), random);
    for (std::size_t i = 0; i < order.size(); ++i)
        std::memcpy(shuffled.data() + i * RecordLength, records.data() + order[i] * RecordLength, RecordLength);
    const HashIndex index(HashAlgorithm::Md5, shuffled.data(), entries.size(), 0);
    for (const Entry& probe : entries) {
        std::vector<HashHit> hits;
        index.Find(probe.Size, probe.Digest.data(), hits);
        for (const HashHit& hit : hits) EXPECT_LT(hit.Signature, entries.size());
        index.Wanted(probe.Size);
    }
}

} // namespace
