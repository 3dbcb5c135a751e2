// The sorted path list against insertion one by one by the user's locale, on hard texts.
#include "scan/SortedPathList.h"

#include "platform/TextCompare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <string>
#include <vector>

namespace {

using Batches = std::vector<std::vector<std::wstring>>;

// Each path goes to its place by binary search unless an equal one is there.
std::vector<std::wstring> InsertOneByOne(const Batches& aBatches)
{
    std::vector<std::wstring> list;
    for (const auto& batch : aBatches) {
        for (const std::wstring& path : batch) {
            const auto place = std::lower_bound(list.begin(), list.end(), path, [](const std::wstring& aA, const std::wstring& aB) {
                return CompareForUser(aA, aB) < 0;
            });
            if (place == list.end() || CompareForUser(*place, path) != 0)
                list.insert(place, path);
        }
    }
    return list;
}

std::vector<std::wstring> BuildList(const Batches& aBatches)
{
    SortedPathList list;
    for (const auto& batch : aBatches) {
        for (const std::wstring& path : batch)
            list.Gather(path);
        list.Merge();
    }
    list.Seal();
    std::vector<std::wstring> result;
    for (std::size_t i = 0; i < list.Size(); ++i)
        result.emplace_back(list[i]);
    return result;
}

// Accents, combining marks, sharp s, ligatures, hyphens, apostrophes, soft hyphens, digits, case.
constexpr std::array<const wchar_t*, 28> kPieces = {
    L"a",  L"A",  L"\u00E1", L"a\u0301", L"\u00DF", L"ss", L"SS",     L"\u00E6", L"ae", L"\u0153",
    L"oe", L"OE", L"\uFB01", L"fi",      L"-",      L"'",  L"\u00AD", L"1",      L"2",  L"10",
    L"\\", L"\u00E9", L"E",  L"z",       L"\u00F6", L"o",  L".",      L" "};

std::wstring RandomPath(std::mt19937& aRandom)
{
    std::uniform_int_distribution<std::size_t> count(0, 5);
    std::uniform_int_distribution<std::size_t> piece(0, kPieces.size() - 1);
    std::wstring path = L"C:\\";
    for (std::size_t n = count(aRandom); n > 0; --n)
        path += kPieces[piece(aRandom)];
    return path;
}

}

TEST(SortedPathList, EqualsInsertionOneByOneOnHardTexts)
{
    std::mt19937 random(20261210);
    Batches batches(3);
    for (auto& batch : batches) {
        for (int i = 0; i < 1500; ++i)
            batch.push_back(RandomPath(random));
    }
    batches[1].push_back(L"");
    EXPECT_EQ(BuildList(batches), InsertOneByOne(batches));
}

TEST(SortedPathList, KeepsTheSpellingAddedFirst)
{
    const Batches batches = {
        {L"C:\\Data\\Sub\\x.dll", L"C:\\Data\\b.exe", L"c:\\data\\B.EXE"},
        {L"c:\\data\\sub\\X.DLL", L"c:\\data\\sub\\y.dll"},
    };
    const std::vector<std::wstring> expected = {L"C:\\Data\\b.exe", L"C:\\Data\\Sub\\x.dll", L"c:\\data\\sub\\y.dll"};
    EXPECT_EQ(BuildList(batches), expected);
    EXPECT_EQ(InsertOneByOne(batches), expected);
}

TEST(SortedPathList, MergesAgainAfterSeal)
{
    SortedPathList list;
    list.Gather(L"b");
    list.Merge();
    list.Seal();
    list.Gather(L"A");
    list.Gather(L"B");
    list.Merge();
    ASSERT_EQ(list.Size(), 2u);
    EXPECT_EQ(list[0], L"A");
    EXPECT_EQ(list[1], L"b");
}

TEST(SortedPathList, FinishedListHoldsLittleBeyondTheTexts)
{
    SortedPathList list;
    std::size_t textBytes = 0;
    const std::size_t count = 20000;
    for (std::size_t i = 0; i < count; ++i) {
        std::wstring path = L"C:\\Users\\Someone\\Documents\\Projects\\Alpha\\src\\mod" + std::to_wstring(i);
        path.resize(60, L'x');
        textBytes += path.size() * sizeof(wchar_t);
        list.Gather(path);
    }
    list.Merge();
    list.Seal();
    ASSERT_EQ(list.Size(), count);
    EXPECT_LE(list.ByteSize() - textBytes, 64 * count);
}
