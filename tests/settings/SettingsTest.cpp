// TSettings against the real registry of the test prefix: defaults, stored values, failures.
#include "settings/Settings.h"

#include "platform/Error.h"
#include "platform/Registry.h"
#include "platform/TextCompare.h"
#include "tests/support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sddl.h>

#include <chrono>
#include <functional>
#include <random>

namespace {

using Table = std::vector<std::pair<std::wstring, bool>>;

const wchar_t kVendorKey[] = L"Software\\Talbrinn";
const wchar_t kSettingsKey[] = L"Software\\Talbrinn\\Quorvane";

Table TableOf(const TSettings& aSettings)
{
    Table table;
    for (int i = 0; i < aSettings.FolderCount(); ++i) {
        const std::wstring name = aSettings.GetFolderName(i);
        table.emplace_back(name, aSettings.GetFolderScan(name));
    }
    return table;
}

Table FixedDrivesChecked()
{
    Table table;
    for (const std::wstring& drive : GetFixedDrives())
        table.emplace_back(drive, true);
    return table;
}

std::vector<bool> OptionsOf(const TSettings& aSettings)
{
    return {aSettings.FullScan(), aSettings.MemoryScan(), aSettings.RegistryScan(), aSettings.ArchiveScan(),
        aSettings.HeuristicMode()};
}

// Each test starts without the vendor key and leaves none behind.
class SettingsTest : public testing::Test {
protected:
    void SetUp() override { DeleteVendorKey(); }
    void TearDown() override
    {
        ReleaseSettings();
        DeleteVendorKey();
    }

    static void DeleteVendorKey() { RegDeleteTreeW(HKEY_CURRENT_USER, kVendorKey); }

    static std::optional<RegistryKey> OpenStored()
    {
        return RegistryKey::TryOpen(HKEY_CURRENT_USER, kSettingsKey, KEY_READ);
    }

    static void Put(const wchar_t* aName, DWORD aType, const void* aData, DWORD aLength)
    {
        const RegistryKey key = RegistryKey::Create(HKEY_CURRENT_USER, kSettingsKey, KEY_WRITE);
        ASSERT_EQ(RegSetValueExW(key.Get(), aName, 0, aType, static_cast<const BYTE*>(aData), aLength), ERROR_SUCCESS);
    }
    static void PutDword(const wchar_t* aName, DWORD aValue) { Put(aName, REG_DWORD, &aValue, sizeof(aValue)); }
    static void PutText(const wchar_t* aName, const std::wstring& aText, DWORD aType = REG_SZ)
    {
        Put(aName, aType, aText.c_str(), static_cast<DWORD>((aText.size() + 1) * sizeof(wchar_t)));
    }
};

TEST(FixedDrives, UnderWineHoldsTheDriveCAndTheLinuxRoot)
{
    const std::vector<std::wstring> drives = GetFixedDrives();
    EXPECT_THAT(drives, testing::IsSupersetOf({L"C:\\", L"Z:\\"}));
    EXPECT_TRUE(std::is_sorted(drives.begin(), drives.end()));
    for (const std::wstring& drive : drives)
        EXPECT_EQ(GetDriveTypeW(drive.c_str()), static_cast<UINT>(DRIVE_FIXED)) << drive;
}

TEST_F(SettingsTest, FirstRunCreatesAnEmptyKeyAndGivesTheDefaults)
{
    const TSettings settings;
    EXPECT_THAT(OptionsOf(settings), testing::Each(true));
    EXPECT_EQ(TableOf(settings), FixedDrivesChecked());
    EXPECT_TRUE(settings.HaveFoldersToScan());
    const std::optional<RegistryKey> stored = OpenStored();
    ASSERT_TRUE(stored) << "the first load creates the key with its parents";
    DWORD valueCount = 1;
    ASSERT_EQ(RegQueryInfoKeyW(stored->Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                  nullptr, nullptr, nullptr, nullptr),
        ERROR_SUCCESS);
    EXPECT_EQ(valueCount, 0u);
}

TEST_F(SettingsTest, StoredValuesOverrideTheDefaults)
{
    PutDword(L"FullScan", 2);
    PutDword(L"MemoryScan", 0);
    PutDword(L"ArchiveScan", 0);
    PutText(L"Folders", L"C:\\=0;\"D:\\Gone Away=1\"");
    const TSettings settings;
    EXPECT_THAT(OptionsOf(settings), testing::ElementsAre(true, false, true, false, true));
    Table expected = FixedDrivesChecked();
    expected[0].second = false;
    expected.emplace_back(L"D:\\Gone Away", true);
    ASSERT_EQ(expected[0].first, L"C:\\");
    EXPECT_EQ(TableOf(settings), expected) << "C:\\ unchecked in place, Z:\\ checked by default";
}

TEST_F(SettingsTest, EmptyFoldersKeepTheDefaults)
{
    for (const DWORD length : {DWORD{0}, DWORD{sizeof(wchar_t)}}) {
        Put(L"Folders", REG_SZ, L"", length);
        EXPECT_EQ(TableOf(TSettings()), FixedDrivesChecked()) << length << " bytes";
    }
}

TEST_F(SettingsTest, ExpandableFoldersTextIsTakenLiterally)
{
    PutText(L"Folders", L"%TEMP%=1;\"C:\\a b=c=0\"", REG_EXPAND_SZ);
    Table expected = FixedDrivesChecked();
    expected.emplace_back(L"%TEMP%", true);
    expected.emplace_back(L"C:\\a b=c", false);
    EXPECT_EQ(TableOf(TSettings()), expected);
}

struct BadValue {
    const wchar_t* name;
    DWORD type;
    std::wstring text;
    const wchar_t* message;
};

TEST_F(SettingsTest, StoredValuesOfWrongTypeFailWithTheirName)
{
    const BadValue cases[] = {
        {L"FullScan", REG_SZ, L"1", L"Invalid data type for 'FullScan'"},
        {L"FullScan", REG_SZ, L"true", L"Failed to get data for 'FullScan'"},
        {L"HeuristicMode", REG_BINARY, L"\x0001", L"Invalid data type for 'HeuristicMode'"},
        {L"Folders", REG_DWORD, L"\x0001", L"Invalid data type for 'Folders'"},
        {L"Folders", REG_MULTI_SZ, L"C:\\=1", L"Invalid data type for 'Folders'"},
    };
    for (const BadValue& bad : cases) {
        DeleteVendorKey();
        PutText(bad.name, bad.text, bad.type);
        EXPECT_EQ(MessageOf([] { TSettings settings; }), bad.message) << bad.name << " " << bad.text;
    }
}

TEST_F(SettingsTest, LoadStopsAtTheFirstBadValue)
{
    TSettings settings;
    settings.SetArchiveScan(false);
    PutDword(L"FullScan", 0);
    PutDword(L"MemoryScan", 0);
    PutText(L"RegistryScan", L"1");
    PutDword(L"ArchiveScan", 1);
    PutText(L"Folders", L"C:\\=0;D:\\x=1");
    EXPECT_EQ(MessageOf([&] { settings.Load(); }), L"Invalid data type for 'RegistryScan'");
    EXPECT_THAT(OptionsOf(settings), testing::ElementsAre(false, false, true, false, true));
    EXPECT_EQ(TableOf(settings), FixedDrivesChecked());
}

TEST_F(SettingsTest, SaveWritesAllSixValuesAndLeavesOthersAlone)
{
    PutText(L"Other", L"kept");
    TSettings settings;
    settings.SetFullScan(false);
    settings.SetRegistryScan(false);
    settings.SetHeuristicMode(false);
    settings.ClearFolders();
    settings.SetFolderScan(L"C:\\", true);
    settings.SetFolderScan(L"E:\\My;Data", false);
    settings.Save();

    const std::optional<RegistryKey> stored = OpenStored();
    ASSERT_TRUE(stored);
    const std::pair<const wchar_t*, DWORD> numbers[] = {
        {L"FullScan", 0}, {L"MemoryScan", 1}, {L"RegistryScan", 0}, {L"ArchiveScan", 1}, {L"HeuristicMode", 0}};
    for (const auto& [name, number] : numbers) {
        const std::optional<RegistryValue> value = stored->Query(name);
        ASSERT_TRUE(value) << name;
        EXPECT_EQ(value->type, static_cast<DWORD>(REG_DWORD)) << name;
        EXPECT_EQ(value->data, std::vector<std::uint8_t>({static_cast<std::uint8_t>(number), 0, 0, 0})) << name;
    }
    EXPECT_EQ(stored->ReadString(L"Folders"), L"C:\\=1;\"E:\\My;Data=0\"");
    EXPECT_EQ(stored->ReadString(L"Other"), L"kept");

    settings.ClearFolders();
    settings.Save();
    EXPECT_EQ(stored->Query(L"Folders")->data.size(), sizeof(wchar_t)) << "empty text with its NUL";
}

TEST_F(SettingsTest, SavedSettingsLoadBack)
{
    TSettings saved;
    saved.SetMemoryScan(false);
    saved.SetFolderScan(L"C:\\", false);
    saved.SetFolderScan(L"C:\\Program Files", true);
    saved.SetFolderScan(L"C:\\a=b", true);
    saved.SetFolderScan(L"C:\\A=c", false);
    saved.Save();
    const TSettings loaded;
    EXPECT_EQ(OptionsOf(loaded), OptionsOf(saved));
    EXPECT_EQ(TableOf(loaded), TableOf(saved));
}

// A hand-edited "Folders" value of 50,000 items: each lookup walking the whole table would make
// loading and saving take about half a minute.
TEST_F(SettingsTest, LargeStoredTableLoadsAndSavesQuickly)
{
    constexpr int kItems = 50000;
    std::wstring text;
    for (int i = 0; i < kItems; ++i) {
        if (i > 0)
            text += L';';
        text += L"\"C:\\Folder " + std::to_wstring(i) + L"=" + std::to_wstring(i % 2) + L"\"";
    }
    PutText(L"Folders", text);
    const auto start = std::chrono::steady_clock::now();
    TSettings settings;
    settings.Save();
    settings.Load();
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(settings.FolderCount(), static_cast<int>(FixedDrivesChecked().size()) + kItems);
    EXPECT_TRUE(settings.GetFolderScan(L"C:\\Folder 49999"));
    EXPECT_FALSE(settings.GetFolderScan(L"C:\\Folder 49998"));
    EXPECT_LT(elapsed, std::chrono::seconds(10));
}

TEST_F(SettingsTest, CaseVariantsAreTwoEntriesButOneStoredItem)
{
    TSettings settings;
    settings.ClearFolders();
    settings.SetFolderScan(L"C:\\Data", true);
    settings.SetFolderScan(L"c:\\data", false);
    EXPECT_EQ(TableOf(settings), (Table{{L"C:\\Data", true}, {L"c:\\data", false}}));
    settings.Save();
    settings.ClearFolders();
    settings.Load();
    EXPECT_EQ(TableOf(settings), (Table{{L"c:\\data", false}}));
}

TEST_F(SettingsTest, FolderTableKeysAreExactAndPositionsStable)
{
    TSettings settings;
    settings.ClearFolders();
    EXPECT_EQ(settings.FolderCount(), 0);
    EXPECT_FALSE(settings.HaveFoldersToScan());
    settings.SetFolderScan(L"D:\\x", false);
    settings.SetFolderScan(L"D:\\x\\", false);
    EXPECT_FALSE(settings.HaveFoldersToScan()) << "every entry unchecked";
    EXPECT_FALSE(settings.GetFolderScan(L"D:\\X"));
    settings.SetFolderScan(L"D:\\x", true);
    EXPECT_EQ(TableOf(settings), (Table{{L"D:\\x", true}, {L"D:\\x\\", false}}));
    EXPECT_TRUE(settings.HaveFoldersToScan());
    EXPECT_EQ(MessageOf([&] { settings.GetFolderName(2); }), L"List index out of bounds (2)");
    EXPECT_EQ(MessageOf([&] { settings.GetFolderName(-1); }), L"List index out of bounds (-1)");
}

// Denies setting values on the settings key to everyone while it lives, so opening the key for
// writing is refused as it would be for a user without rights.
class WriteDenied {
public:
    WriteDenied() { Apply(L"D:(D;;0x2;;;WD)(A;;KA;;;WD)"); }
    ~WriteDenied() { Apply(L"D:(A;;KA;;;WD)"); }
    WriteDenied(const WriteDenied&) = delete;
    WriteDenied& operator=(const WriteDenied&) = delete;

private:
    static void Apply(const wchar_t* aSddl)
    {
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(aSddl, SDDL_REVISION_1, &descriptor, nullptr));
        const std::optional<RegistryKey> key = RegistryKey::TryOpen(HKEY_CURRENT_USER, kSettingsKey, WRITE_DAC);
        EXPECT_TRUE(key);
        if (key) {
            EXPECT_EQ(RegSetKeySecurity(key->Get(), DACL_SECURITY_INFORMATION, descriptor), ERROR_SUCCESS);
        }
        LocalFree(descriptor);
    }
};

TEST_F(SettingsTest, RefusedKeyFailsLoadAndSaveWithoutChanges)
{
    TSettings settings;
    settings.SetFullScan(false);
    {
        const WriteDenied denied;
        EXPECT_EQ(MessageOf([&] { settings.Save(); }), L"Error opening registry key");
        EXPECT_EQ(MessageOf([&] { settings.Load(); }), L"Error Message");
    }
    EXPECT_FALSE(settings.FullScan());
    EXPECT_FALSE(OpenStored()->Query(L"FullScan")) << "nothing written";
}

TEST_F(SettingsTest, LoadAfterFailedSaveRestoresOptionsAndKeepsNewFolders)
{
    TSettings settings;
    settings.SetFullScan(false);
    settings.SetFolderScan(L"C:\\", false);
    settings.Save();
    settings.SetFullScan(true);
    settings.SetArchiveScan(false);
    settings.SetFolderScan(L"D:\\New", true);
    {
        const WriteDenied denied;
        EXPECT_THROW(settings.Save(), AppError);
    }
    settings.Load();
    EXPECT_THAT(OptionsOf(settings), testing::ElementsAre(false, true, true, true, true));
    EXPECT_FALSE(settings.GetFolderScan(L"C:\\"));
    EXPECT_TRUE(settings.GetFolderScan(L"D:\\New"));
}

TEST_F(SettingsTest, AccessorKeepsOneInstanceAndRetriesAfterAFailedConstruction)
{
    PutText(L"MemoryScan", L"1");
    EXPECT_EQ(MessageOf([] { Settings(); }), L"Invalid data type for 'MemoryScan'");
    PutDword(L"MemoryScan", 0);
    TSettings& first = Settings();
    EXPECT_FALSE(first.MemoryScan());
    first.SetFolderScan(L"D:\\Only in memory", true);
    EXPECT_EQ(&Settings(), &first);
    ReleaseSettings();
    EXPECT_FALSE(Settings().GetFolderScan(L"D:\\Only in memory")) << "a new instance after release";
}

// Random folder tables of awkward paths: what Save writes, Load reads back as the same table,
// except that paths equal when letter case is ignored become one entry (the later one's spelling
// and flag, at the earlier one's position).
class RandomTables {
public:
    std::wstring Path()
    {
        std::wstring path;
        for (int length = Pick(0, 10); length > 0; --length)
            path += kCharacters[static_cast<std::size_t>(Pick(0, static_cast<int>(kCharacters.size()) - 1))];
        return path;
    }

    // aPath with each letter that has a case partner switched at random.
    std::wstring CaseVariant(std::wstring aPath)
    {
        for (wchar_t& c : aPath) {
            for (const auto& [lower, upper] : kCasePairs) {
                if ((c == lower || c == upper) && Pick(0, 1) == 1) {
                    c = c == lower ? upper : lower;
                    break;
                }
            }
        }
        return aPath;
    }

    int Pick(int aLow, int aHigh) { return std::uniform_int_distribution<int>(aLow, aHigh)(engine_); }

private:
    static inline const std::wstring kCharacters = [] {
        std::wstring characters = L"aAxX09\\:. ;\"=\xe4\xc4\xe9\xc9\x436\x416\x3c3\x3a3\x3c2\xdf\x1e9e";
        for (wchar_t c = 1; c < 32; ++c)
            characters += c;
        return characters;
    }();
    static constexpr std::pair<wchar_t, wchar_t> kCasePairs[] = {
        {L'a', L'A'}, {L'x', L'X'}, {0xe4, 0xc4}, {0xe9, 0xc9}, {0x436, 0x416}, {0x3c3, 0x3a3}, {0xdf, 0x1e9e}};

    std::mt19937 engine_{20261210};
};

Table MergedIgnoringCase(const Table& aTable)
{
    Table merged;
    for (const auto& entry : aTable) {
        const auto earlier = std::find_if(merged.begin(), merged.end(), [&](const auto& aItem) {
            return EqualsOrdinalIgnoringCase(aItem.first, entry.first);
        });
        if (earlier != merged.end())
            *earlier = entry;
        else
            merged.push_back(entry);
    }
    return merged;
}

TEST_F(SettingsTest, RandomTablesSurviveSaveAndLoad)
{
    RandomTables random;
    TSettings settings;
    for (int round = 0; round < 300; ++round) {
        std::vector<std::wstring> paths(static_cast<std::size_t>(random.Pick(1, 6)));
        for (std::wstring& path : paths)
            path = random.Path();
        settings.ClearFolders();
        for (int entries = random.Pick(0, 12); entries > 0; --entries) {
            const std::wstring& path = paths[static_cast<std::size_t>(random.Pick(0, static_cast<int>(paths.size()) - 1))];
            settings.SetFolderScan(random.CaseVariant(path), random.Pick(0, 1) == 1);
        }
        const Table expected = MergedIgnoringCase(TableOf(settings));
        settings.Save();
        settings.ClearFolders();
        settings.Load();
        ASSERT_EQ(TableOf(settings), expected) << "round " << round << ", stored as "
                                               << testing::PrintToString(*OpenStored()->ReadString(L"Folders"));
    }
}

} // namespace
