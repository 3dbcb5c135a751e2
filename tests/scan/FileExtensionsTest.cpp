// Which file names are accepted, with the equality of the user's locale as the reference.
#include "scan/FileExtensions.h"

#include "platform/TextCompare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

TEST(FileExtensions, TwentyOrWithArchivesTwentyNineInLocaleOrder)
{
    for (const bool archives : {false, true}) {
        const std::vector<std::wstring> extensions = MakeFileExtensions(archives);
        EXPECT_EQ(extensions.size(), archives ? 29u : 20u);
        EXPECT_TRUE(std::is_sorted(extensions.begin(), extensions.end(),
                                   [](const std::wstring& aA, const std::wstring& aB) { return CompareForUser(aA, aB) < 0; }));
    }
}

// Trailing dots and spaces, which the system trims from ordinary paths, do not hide an extension.
TEST(FileExtensions, NamesAcceptedByTheirLastDot)
{
    struct Case {
        const wchar_t* name;
        bool plain;
        bool withArchives;
    };
    const Case cases[] = {
        {L"setup.EXE", true, true},   {L"x.Exe", true, true},       {L".exe", true, true},
        {L"README", false, false},    {L"archive.tar.gz", false, true}, {L"name.", false, false},
        {L"name.exe.", true, true},   {L"a.zip", false, true},      {L"b.7Z", false, true},
        {L"c.RaR", false, true},      {L"lib.dll.bak", false, false}, {L"x.gadget", true, true},
        {L"evil.exe ", true, true},   {L"evil.dll. .", true, true}, {L"a.zip..", false, true},
        {L"name. ", false, false},    {L"...", false, false},       {L"exe. ", false, false},
        {L"x.TGZ", false, true},      {L"x.bz2", false, true},      {L"x.xz", false, true},
        {L"x.cab", false, true},      {L"x.tar", false, true},      {L"x.lzma", false, false},
    };
    const auto plain = MakeFileExtensions(false);
    const auto archives = MakeFileExtensions(true);
    for (const Case& c : cases) {
        EXPECT_EQ(IsListedExtension(plain, FileExtension(c.name)), c.plain) << c.name;
        EXPECT_EQ(IsListedExtension(archives, FileExtension(c.name)), c.withArchives) << c.name;
    }
}

TEST(FileExtensions, AcceptanceIsCompareStringEquality)
{
    const wchar_t* variants[] = {
        L".exe",        L".EXE",         L".eXe",      L".e\u00ADxe", L".e-xe", L".ex'e", L".exe\u0301",
        L".\uFF45xe",   L".ex\u200Be",   L".dl",       L".dlll",      L".7Z",   L".GADGET", L".gad-get",
        L".j\u00ADs",   L".js ",         L".v\u00ADb", L".\u00E9xe",  L".",     L".z\u00ADip", L".EXE\u00AD",
    };
    const auto extensions = MakeFileExtensions(true);
    for (const wchar_t* variant : variants) {
        const bool expected = std::any_of(extensions.begin(), extensions.end(),
                                          [&](const std::wstring& aListed) { return CompareForUser(aListed, variant) == 0; });
        EXPECT_EQ(IsListedExtension(extensions, variant), expected) << variant;
    }
}
