#include "vault/RestorePath.h"

#include <gtest/gtest.h>

namespace vault {
namespace {

std::string Narrow(const std::u16string& aText) {
    std::string out;
    for (char16_t c : aText) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

TEST(RestorePath, AcceptsTheFourFormsAndResolvesDots) {
    const std::pair<std::u16string, std::u16string> cases[] = {
        {u"C:\\a\\b.exe", u"C:\\a\\b.exe"},
        {u"z:\\file.", u"z:\\file."},
        {u"\\\\server\\share\\dir\\x.bin", u"\\\\server\\share\\dir\\x.bin"},
        {u"\\\\?\\C:\\long\\name ", u"\\\\?\\C:\\long\\name "},
        {u"\\\\?\\UNC\\server\\share\\x", u"\\\\?\\UNC\\server\\share\\x"},
        {u"C:\\a\\.\\b\\..\\c", u"C:\\a\\c"},
        {u"\\\\?\\C:\\a\\..\\b", u"\\\\?\\C:\\b"},
        {u"C:\\\u00e9\u4e2d\\f", u"C:\\\u00e9\u4e2d\\f"},
    };
    for (const auto& [path, expected] : cases) {
        const auto checked = CheckRestorePath(path);
        ASSERT_TRUE(checked) << Narrow(path);
        EXPECT_EQ(*checked, expected) << Narrow(path);
    }
}

TEST(RestorePath, RefusesDevicesOtherFormsAndEscapes) {
    const std::u16string cases[] = {
        u"",
        u"\\\\.\\PhysicalDrive0",
        u"\\\\.\\C:\\x",
        u"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\x",
        u"\\\\?\\Volume{01234567-89ab-cdef-0123-456789abcdef}\\x",
        u"\\??\\C:\\x",
        u"C:x",
        u"C:\\",
        u"relative\\x",
        u"\\rooted\\x",
        u"C:/a/b",
        u"C:\\a\\..\\..\\Windows\\x",
        u"C:\\..",
        u"C:\\a\\\\b",
        u"C:\\a\\",
        u"C:\\a\\file:stream",
        u"C:\\a\\b?",
        u"\\\\server\\x",
        u"\\\\server\\\\x",
        u"\\\\..\\share\\x",
        u"\\\\?\\UNC\\server\\share\\",
        u"\\\\server\\share\\..\\other\\x",
        std::u16string(u"C:\\a\0b", 6),
        u"C:\\" + std::u16string(40000, u'a'),
    };
    for (const std::u16string& path : cases) EXPECT_FALSE(CheckRestorePath(path)) << Narrow(path);
}

} // namespace
} // namespace vault
