// The registry key wrapper against a scratch key of the test prefix.
#include "platform/Error.h"
#include "platform/Registry.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

namespace {

const std::wstring kScratch = L"Software\\QvRegistryTest";
const std::wstring kNested = kScratch + L"\\a\\b";

class RegistryKeyTest : public testing::Test {
protected:
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str()); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str()); }

    RegistryKey CreateNested() { return RegistryKey::Create(HKEY_CURRENT_USER, kNested, KEY_READ | KEY_WRITE); }

    static void Put(const RegistryKey& aKey, const wchar_t* aName, DWORD aType, const void* aData, DWORD aLength)
    {
        ASSERT_EQ(RegSetValueExW(aKey.Get(), aName, 0, aType, static_cast<const BYTE*>(aData), aLength), ERROR_SUCCESS);
    }
};

TEST_F(RegistryKeyTest, CreateMakesMissingParentsAndTryOpenFindsOnlyExistingKeys)
{
    EXPECT_FALSE(RegistryKey::TryOpen(HKEY_CURRENT_USER, kNested, KEY_READ));
    CreateNested();
    EXPECT_TRUE(RegistryKey::TryOpen(HKEY_CURRENT_USER, kNested, KEY_READ));
}

TEST_F(RegistryKeyTest, SubKeysAreListedByIndex)
{
    const std::wstring longName(255, L'n');
    for (const std::wstring& name : {std::wstring(L"one"), longName})
        RegistryKey::Create(HKEY_CURRENT_USER, kScratch + L"\\" + name, KEY_READ);
    const RegistryKey key = RegistryKey::Create(HKEY_CURRENT_USER, kScratch, KEY_READ);
    const SubKeyInfo info = key.QuerySubKeyInfo();
    EXPECT_EQ(info.count, 2u);
    EXPECT_EQ(info.maxNameLength, 255u);
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < info.count; ++i)
        names.push_back(key.SubKeyName(i, info.maxNameLength).value_or(L"(end)"));
    EXPECT_THAT(names, testing::UnorderedElementsAre(L"one", longName));
    EXPECT_FALSE(key.SubKeyName(2, info.maxNameLength)) << "past the last subkey";
    EXPECT_EQ(CodeOf([&] { key.SubKeyName(0, 2); }), static_cast<DWORD>(ERROR_MORE_DATA)) << "a name longer than the buffer";
}

TEST_F(RegistryKeyTest, KeyDeletedWhileOpenFailsToListWithTheSystemCode)
{
    const RegistryKey key = CreateNested();
    ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kScratch.c_str()), ERROR_SUCCESS);
    EXPECT_EQ(CodeOf([&] { key.QuerySubKeyInfo(); }), static_cast<DWORD>(ERROR_KEY_DELETED));
    EXPECT_EQ(CodeOf([&] { key.SubKeyName(0, 16); }), static_cast<DWORD>(ERROR_KEY_DELETED));
}

TEST_F(RegistryKeyTest, AbsentValuesAreEmptyNotErrors)
{
    const RegistryKey key = CreateNested();
    EXPECT_FALSE(key.Query(L"Missing"));
    EXPECT_FALSE(key.ReadDword(L"Missing"));
    EXPECT_FALSE(key.ReadString(L"Missing"));
}

TEST_F(RegistryKeyTest, WrittenValuesReadBackWithTheirTypes)
{
    RegistryKey key = CreateNested();
    key.SetDword(L"Number", 0xfffffffe);
    key.SetString(L"Text", L"C:\\=1;\x65e5");
    key.SetString(L"Empty", L"");
    EXPECT_EQ(key.ReadDword(L"Number"), 0xfffffffe);
    EXPECT_EQ(key.ReadString(L"Text"), L"C:\\=1;\x65e5");
    EXPECT_EQ(key.ReadString(L"Empty"), L"");
    const std::optional<RegistryValue> stored = key.Query(L"Text");
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(stored->data.size(), 8 * sizeof(wchar_t)) << "written with its terminating NUL";
}

TEST_F(RegistryKeyTest, StringsEndAtFirstNulAndExpandableStringsStayLiteral)
{
    const RegistryKey key = CreateNested();
    const wchar_t embedded[] = L"ab\0cd";
    Put(key, L"Embedded", REG_SZ, embedded, sizeof(embedded));
    Put(key, L"Unterminated", REG_SZ, L"xyz", 3 * sizeof(wchar_t));
    Put(key, L"NoData", REG_SZ, nullptr, 0);
    Put(key, L"Expand", REG_EXPAND_SZ, L"%TEMP%", 7 * sizeof(wchar_t));
    EXPECT_EQ(key.ReadString(L"Embedded"), L"ab");
    EXPECT_EQ(key.ReadString(L"Unterminated"), L"xyz");
    EXPECT_EQ(key.ReadString(L"NoData"), L"");
    EXPECT_EQ(key.ReadString(L"Expand"), L"%TEMP%");
}

TEST_F(RegistryKeyTest, WrongTypesAndOversizedNumbersAreErrors)
{
    const RegistryKey key = CreateNested();
    const DWORD number = 1;
    Put(key, L"ShortText", REG_SZ, L"1", 2 * sizeof(wchar_t));
    Put(key, L"LongText", REG_SZ, L"true", 5 * sizeof(wchar_t));
    Put(key, L"Number", REG_DWORD, &number, sizeof(number));
    Put(key, L"Binary", REG_BINARY, &number, sizeof(number));
    EXPECT_EQ(MessageOf([&] { key.ReadDword(L"ShortText"); }), L"Invalid data type for 'ShortText'");
    EXPECT_EQ(MessageOf([&] { key.ReadDword(L"LongText"); }), L"Failed to get data for 'LongText'");
    EXPECT_EQ(MessageOf([&] { key.ReadDword(L"Binary"); }), L"Invalid data type for 'Binary'");
    EXPECT_EQ(MessageOf([&] { key.ReadString(L"Number"); }), L"Invalid data type for 'Number'");
}

TEST_F(RegistryKeyTest, ShortNumberReadsAsItsBytes)
{
    const RegistryKey key = CreateNested();
    const BYTE two[] = {2, 1};
    Put(key, L"Short", REG_DWORD, two, sizeof(two));
    EXPECT_EQ(key.ReadDword(L"Short"), 0x102u);
}

TEST_F(RegistryKeyTest, RefusedWriteNamesTheValue)
{
    CreateNested();
    std::optional<RegistryKey> readOnly = RegistryKey::TryOpen(HKEY_CURRENT_USER, kNested, KEY_READ);
    ASSERT_TRUE(readOnly);
    EXPECT_EQ(MessageOf([&] { readOnly->SetDword(L"FullScan", 1); }), L"Failed to set data for 'FullScan'");
    EXPECT_EQ(MessageOf([&] { readOnly->SetString(L"Folders", L""); }), L"Failed to set data for 'Folders'");
    EXPECT_EQ(CodeOf([&] { readOnly->SetDword(L"FullScan", 1); }), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(readOnly->Query(L"FullScan"));
}

TEST_F(RegistryKeyTest, CreateFailureNamesThePathAndTheReason)
{
    const std::wstring tooLong = kScratch + L"\\" + std::wstring(300, L'x');
    const std::wstring message = MessageOf([&] { RegistryKey::Create(HKEY_CURRENT_USER, tooLong, KEY_READ); });
    EXPECT_THAT(message, testing::StartsWith(L"Cannot open registry key " + tooLong + L": "));
    EXPECT_GT(message.size(), tooLong.size() + 27);
    EXPECT_NE(CodeOf([&] { RegistryKey::Create(HKEY_CURRENT_USER, tooLong, KEY_READ); }).value_or(0), 0u);
}

} // namespace
