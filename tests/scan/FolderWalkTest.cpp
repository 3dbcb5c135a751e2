// The walk over real trees: what is listed, what is walked, links, long paths and stopping.
#include "tests/scan/Tree.h"
#include "platform/Handle.h"
#include "tests/support/TestSupport.h"
#include "scan/FileExtensions.h"
#include "scan/FolderWalk.h"
#include "scan/ScanRoot.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::vector<std::wstring> Walk(const std::wstring& aRoot, bool aArchives = false)
{
    const auto extensions = MakeFileExtensions(aArchives);
    std::vector<std::wstring> found;
    FolderWalk walk(extensions, [] { return false; }, [&](std::wstring_view aPath) { found.emplace_back(aPath); });
    EXPECT_TRUE(walk.Walk(aRoot, CheckScanRoot(aRoot)));
    std::sort(found.begin(), found.end());
    return found;
}

struct RemoveOnExit {
    std::vector<std::wstring> files;
    ~RemoveOnExit()
    {
        for (const std::wstring& file : files)
            DeleteFileW(file.c_str());
    }
};

std::vector<std::wstring> Under(const std::wstring& aRoot, std::initializer_list<const wchar_t*> aNames)
{
    std::vector<std::wstring> paths;
    for (const wchar_t* name : aNames)
        paths.push_back(aRoot + L"\\" + name);
    std::sort(paths.begin(), paths.end());
    return paths;
}

}

TEST(FolderWalk, ListsByExtensionAndWalksEveryFolder)
{
    TempFolder temp;
    const std::wstring root = temp.Str();
    MakeTree(root, {L"setup.EXE", L"README", L"archive.tar.gz", L".exe", L"a.zip", L"x.Dll", L".hidden.bat",
                    L"sys.com", L"tools.exe\\", L"tools.exe\\inner.dll", L"Hidden\\", L"Hidden\\in.msi",
                    L"Hidden\\deeper\\", L"Hidden\\deeper\\d.js"});
    // Names ending with a dot: only the extended-length form keeps (and removes) them; TempFolder cannot.
    const std::wstring longRoot = L"\\\\?\\" + root;
    const RemoveOnExit dotted{{longRoot + L"\\name.", longRoot + L"\\name.exe."}};
    MakeTree(longRoot, {L"name.", L"name.exe."});
    ASSERT_TRUE(SetFileAttributesW((root + L"\\sys.com").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    ASSERT_TRUE(SetFileAttributesW((root + L"\\Hidden").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));

    const auto expected = Under(root, {L"setup.EXE", L".exe", L"x.Dll", L".hidden.bat", L"sys.com", L"name.exe.",
                                       L"tools.exe\\inner.dll", L"Hidden\\in.msi", L"Hidden\\deeper\\d.js"});
    EXPECT_EQ(Walk(root), expected);
    auto withArchives = expected;
    withArchives.push_back(root + L"\\a.zip");
    withArchives.push_back(root + L"\\archive.tar.gz");
    std::sort(withArchives.begin(), withArchives.end());
    EXPECT_EQ(Walk(root, true), withArchives);
}

TEST(FolderWalk, RootSpellingEntersThePaths)
{
    TempFolder temp;
    MakeTree(temp.Str(), {L"Data\\", L"Data\\x.dll"});
    const std::wstring data = temp.Str() + L"\\Data";
    EXPECT_EQ(Walk(data + L"\\"), std::vector<std::wstring>{data + L"\\x.dll"});
    EXPECT_EQ(Walk(data + L"/"), std::vector<std::wstring>{data + L"/x.dll"});
    EXPECT_EQ(FolderWalk::Join(L"D:", L"x.dll"), L"D:x.dll");
    EXPECT_EQ(FolderWalk::Join(L"C:\\", L"x.dll"), L"C:\\x.dll");
}

TEST(FolderWalk, LinkBackToAFolderOnThePathIsNotFollowed)
{
    TempFolder temp;
    const std::wstring root = temp.Str();
    MakeTree(root, {L"a.exe", L"sub\\", L"sub\\b.dll", L"other\\", L"other\\c.bat"});
    const LinuxLink up(root + L"\\sub\\up", "..");
    const LinuxLink self(root + L"\\sub\\self", ".");
    const LinuxLink side(root + L"\\sub\\side", "../other");
    if (!up.Made() || !self.Made() || !side.Made())
        GTEST_SKIP() << "Linux links need Wine";

    EXPECT_EQ(Walk(root), Under(root, {L"a.exe", L"sub\\b.dll", L"other\\c.bat", L"sub\\side\\c.bat"}));
}

TEST(FolderWalk, FolderWhoseSearchPathExceedsMaxPathIsWalkedAndShownWithoutPrefix)
{
    TempFolder temp;
    const std::wstring root = temp.Str();
    const std::wstring outer = LongName(120, L'o');
    const std::wstring inner = LongName(258 - root.size() - outer.size(), L'i');
    const std::wstring deep = L"\\\\?\\" + root + L"\\" + outer + L"\\" + inner;
    MakeTree(root, {L"top.exe"});
    MakeTree(L"\\\\?\\" + root, {(outer + L"\\").c_str(), (outer + L"\\o.dll").c_str(),
                                  (outer + L"\\" + inner + L"\\").c_str(), (outer + L"\\" + inner + L"\\deep.dll").c_str()});

    EXPECT_EQ(Walk(root), Under(root, {L"top.exe", (outer + L"\\o.dll").c_str(), (outer + L"\\" + inner + L"\\deep.dll").c_str()}));
    EXPECT_EQ(Walk(L"\\\\?\\" + root), Under(L"\\\\?\\" + root, {L"top.exe", (outer + L"\\o.dll").c_str(), (outer + L"\\" + inner + L"\\deep.dll").c_str()}));

    DeleteFileW((deep + L"\\deep.dll").c_str());
    RemoveDirectoryW(deep.c_str());
}

TEST(FolderWalk, HostileTreeIsWalkedToWhereTheSystemReaches)
{
    TempFolder temp;
    const std::wstring root = temp.Str();
    const std::wstring longRoot = L"\\\\?\\" + root;
    MakeTree(longRoot, {L"odd %PATH% name.exe", L" lead.dll", L"\u00fc\u65e5\U0001F600.exe", L"\uF07C.exe",
                        L"dots..\\", L"dots..\\in.js", L"trail \\", L"trail \\t.bat"});
    // A chain of folders far deeper than MAX_PATH, as deep as the system lets it be made.
    std::size_t chain = 0;
    std::wstring folder = longRoot;
    for (int level = 0; level < 200; ++level) {
        folder += L"\\" + LongName(100, static_cast<wchar_t>(L'a' + level % 26));
        if (!CreateDirectoryW(folder.c_str(), nullptr))
            break;
        if (!FileHandle(CreateFileW((folder + L"\\f.exe").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr)))
            break;
        ++chain;
    }
    ASSERT_GT(chain, 3u) << "the chain must outgrow MAX_PATH";
    std::size_t withinMaxPath = 0;
    while (root.size() + 101 * (withinMaxPath + 1) + 2 < MAX_PATH)
        ++withinMaxPath;
    const auto chainFiles = [](const std::vector<std::wstring>& aFound) {
        return std::count_if(aFound.begin(), aFound.end(), [](const std::wstring& aPath) { return aPath.ends_with(L"\\f.exe"); });
    };

    const auto shortForm = Walk(root);
    const auto longForm = Walk(longRoot);
    const auto odd = Under(longRoot, {L"odd %PATH% name.exe", L" lead.dll", L"\u00fc\u65e5\U0001F600.exe", L"\uF07C.exe",
                                      L"dots..\\in.js", L"trail \\t.bat"});
    for (const std::wstring& path : odd)
        EXPECT_NE(std::find(longForm.begin(), longForm.end(), path), longForm.end()) << testing::PrintToString(path);
    // The plain root reaches as deep as the prefixed one, beyond MAX_PATH.
    EXPECT_EQ(chainFiles(shortForm), chainFiles(longForm));
    EXPECT_GT(chainFiles(shortForm), static_cast<std::ptrdiff_t>(withinMaxPath));
    EXPECT_LE(chainFiles(longForm), static_cast<std::ptrdiff_t>(chain));
}

TEST(FolderWalk, StopsWhenAsked)
{
    TempFolder temp;
    MakeTree(temp.Str(), {L"a\\", L"a\\1.exe", L"a\\2.exe", L"b\\", L"b\\3.exe"});
    const auto extensions = MakeFileExtensions(false);
    int polls = 0;
    std::vector<std::wstring> found;
    FolderWalk walk(extensions, [&] { return ++polls > 3; }, [&](std::wstring_view aPath) { found.emplace_back(aPath); });
    EXPECT_FALSE(walk.Walk(temp.Str(), CheckScanRoot(temp.Str())));
    EXPECT_LT(found.size(), 3u);
}
