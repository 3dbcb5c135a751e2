// The registry scanner against real class registrations added for the test.
#include "tests/scan/ScanTestSupport.h"

#include "platform/Registry.h"
#include "scan/RegistryScanner.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr wchar_t kClasses[] = L"CLSID\\";

// Class registrations written through HKEY_CLASSES_ROOT in this process's view (Wine does not
// merge HKCU\Software\Classes into it), removed again at the end.
class TestRegistrations {
public:
    ~TestRegistrations()
    {
        for (const std::wstring& name : names_)
            RegDeleteTreeW(HKEY_CLASSES_ROOT, (kClasses + name).c_str());
    }

    // A class key with no InProcServer32 subkey.
    std::wstring AddClass()
    {
        const std::wstring name = L"{5D0C7A10-6B1E-4C4F-9A51-0000000000" + std::to_wstring(10 + names_.size()) + L"}";
        names_.push_back(name);
        RegistryKey::Create(HKEY_CLASSES_ROOT, kClasses + name, KEY_WRITE);
        return name;
    }

    // A class whose InProcServer32 default value has aType and aData.
    void AddServer(DWORD aType, const void* aData, DWORD aLength)
    {
        const RegistryKey server =
            RegistryKey::Create(HKEY_CLASSES_ROOT, kClasses + AddClass() + L"\\InProcServer32", KEY_WRITE);
        ASSERT_EQ(RegSetValueExW(server.Get(), nullptr, 0, aType, static_cast<const BYTE*>(aData), aLength), ERROR_SUCCESS);
    }

    void AddServer(DWORD aType, const std::wstring& aText)
    {
        AddServer(aType, aText.c_str(), static_cast<DWORD>((aText.size() + 1) * sizeof(wchar_t)));
    }

private:
    std::vector<std::wstring> names_;
};

DWORD ClassCount()
{
    const std::optional<RegistryKey> classes = RegistryKey::TryOpen(HKEY_CLASSES_ROOT, L"CLSID", KEY_READ);
    return classes ? classes->QuerySubKeyInfo().count : 0;
}

TEST(RegistryScanner, ReadsServerFilesOfEveryRegistrationAndSkipsValuesThatAreNotText)
{
    TempFolder folder;
    const std::wstring dir = folder.Str();
    for (const wchar_t* name : {L"expand", L"quoted", L"plain", L"args"})
        WriteTestFile(dir + L"\\" + name + L".dll", "QVMARK-" + std::string(name, name + wcslen(name)));
    SetEnvironmentVariableW(L"QV_REG_DIR", dir.c_str());
    const DWORD number = 7;
    {
        TestRegistrations classes;
        classes.AddServer(REG_DWORD, &number, sizeof number);
        classes.AddServer(REG_EXPAND_SZ, L"%QV_REG_DIR%\\expand.dll");
        classes.AddServer(REG_SZ, L"\"" + dir + L"\\quoted.dll\"");
        classes.AddServer(REG_SZ, L"\"" + dir + L"\\args.dll\" /embedding");
        classes.AddServer(REG_BINARY, "\x01\x02", 2);
        classes.AddServer(REG_SZ, dir + L"\\plain.dll");
        classes.AddServer(REG_SZ, L"");
        classes.AddServer(REG_SZ, L"\"\"");
        classes.AddClass();
        const DWORD expectedEntries = ClassCount();

        RecordingHost host;
        BlockRecorder<TRegistryScanner> scanner(&host);
        scanner.keepContent = false;
        while (scanner.ScanNext()) {
        }

        std::sort(scanner.markedBlocks.begin(), scanner.markedBlocks.end());
        EXPECT_EQ(scanner.markedBlocks, (std::vector<std::string>{"QVMARK-expand", "QVMARK-plain", "QVMARK-quoted"}));
        const std::vector<Report> reports = host.Reports();
        ASSERT_EQ(reports.size(), expectedEntries);
        EXPECT_TRUE(std::all_of(reports.begin(), reports.end(), [](const Report& r) { return r.name == L"registry"; }));
        EXPECT_EQ(reports.back().progress, 100);
    }
    SetEnvironmentVariableW(L"QV_REG_DIR", nullptr);
}

TEST(RemoveEnclosingQuotes, DropsOnlyEnclosingQuotes)
{
    const std::pair<std::wstring, std::wstring> cases[] = {
        {L"\"C:\\Program Files\\x.dll\"", L"C:\\Program Files\\x.dll"},
        {L"\"\"", L""},
        {L"\"", L"\""},
        {L"\"C:\\x.dll\" /s", L"\"C:\\x.dll\" /s"},
        {L"C:\\x.dll", L"C:\\x.dll"},
        {L"\"a\"\"b\"", L"a\"b"},
        {L"\"a\"b\"", L"ab"},
    };
    for (const auto& [text, expected] : cases)
        EXPECT_EQ(RemoveEnclosingQuotes(text), expected) << testing::PrintToString(text);
}

} // namespace

#if defined(_WIN64)
// The 64-bit edition reads the 64-bit view of CLSID, then the 32-bit one, resolving the paths of
// the 32-bit view as a 32-bit program would: the (x86) program folders, the 32-bit system folder.
class BothViews : public testing::Test {
protected:
    static constexpr wchar_t k64[] = L"Software\\Classes\\CLSID\\";
    static constexpr wchar_t k32[] = L"Software\\Classes\\Wow6432Node\\CLSID\\";

    ~BothViews() override
    {
        for (const auto& [root, name] : added_) {
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (root + name + L"\\InProcServer32").c_str(), KEY_WOW64_64KEY, 0);
            RegDeleteKeyExW(HKEY_LOCAL_MACHINE, (root + name).c_str(), KEY_WOW64_64KEY, 0);
        }
        for (const std::wstring& file : files_)
            DeleteFileW(file.c_str());
    }

    void Register(const wchar_t* aRoot, const std::wstring& aServer)
    {
        const std::wstring name = L"{5D0C7A10-6B1E-4C4F-9A51-0000000001" + std::to_wstring(10 + added_.size()) + L"}";
        added_.emplace_back(aRoot, name);
        RegistryKey server = RegistryKey::Create(HKEY_LOCAL_MACHINE,
            std::wstring(aRoot) + name + L"\\InProcServer32", KEY_WRITE | KEY_WOW64_64KEY);
        server.SetString(L"", aServer);
    }

    void Plant(const std::wstring& aPath, const std::string& aContent)
    {
        CreateDirectoryW(aPath.substr(0, aPath.rfind(L'\\')).c_str(), nullptr);
        WriteTestFile(aPath, aContent);
        files_.push_back(aPath);
    }

    static std::wstring Variable(const wchar_t* aName)
    {
        wchar_t value[MAX_PATH] = {};
        GetEnvironmentVariableW(aName, value, MAX_PATH);
        return value;
    }

    static std::wstring Folder(UINT (*aQuery)(LPWSTR, UINT))
    {
        wchar_t value[MAX_PATH] = {};
        aQuery(value, MAX_PATH);
        return value;
    }

private:
    std::vector<std::pair<std::wstring, std::wstring>> added_;
    std::vector<std::wstring> files_;
};

TEST_F(BothViews, ReadsTheNativeViewFirstAndResolvesThe32BitViewAsA32BitProgram)
{
    const std::wstring programs = Variable(L"ProgramFiles"), programs32 = Variable(L"ProgramFiles(x86)");
    const std::wstring common32 = Variable(L"CommonProgramFiles(x86)");
    const std::wstring system = Folder(GetSystemDirectoryW), system32 = Folder(GetSystemWow64DirectoryW);
    ASSERT_FALSE(programs32.empty() || common32.empty() || system32.empty());
    ASSERT_NE(programs, programs32);
    // Each file of the right view holds its marker; a file at the same place in the wrong view holds
    // another, so the test sees which was read.
    Plant(programs + L"\\QvViews\\native.dll", "QVMARK-native");
    Plant(programs + L"\\QvViews\\wow.dll", "QVMARK-wrong-programs");
    Plant(programs32 + L"\\QvViews\\wow.dll", "QVMARK-programs32");
    Plant(common32 + L"\\QvViews\\common.dll", "QVMARK-common32");
    Plant(system + L"\\qvviews-sys.dll", "QVMARK-wrong-system");
    Plant(system32 + L"\\qvviews-sys.dll", "QVMARK-system32");
    Register(k64, L"%ProgramFiles%\\QvViews\\native.dll");
    Register(k32, L"%ProgramFiles%\\QvViews\\wow.dll");
    Register(k32, L"%CommonProgramFiles%\\QvViews\\common.dll");
    Register(k32, system + L"\\QVVIEWS-SYS.DLL");

    RecordingHost host;
    BlockRecorder<TRegistryScanner> scanner(&host);
    scanner.keepContent = false;
    while (scanner.ScanNext()) {
    }
    ASSERT_FALSE(scanner.markedBlocks.empty());
    EXPECT_EQ(scanner.markedBlocks.front(), "QVMARK-native");
    std::vector<std::string> wow(scanner.markedBlocks.begin() + 1, scanner.markedBlocks.end());
    std::sort(wow.begin(), wow.end());
    EXPECT_EQ(wow, (std::vector<std::string>{"QVMARK-common32", "QVMARK-programs32", "QVMARK-system32"}));

    const std::optional<RegistryKey> native = RegistryKey::TryOpen(HKEY_CLASSES_ROOT, L"CLSID", KEY_READ | KEY_WOW64_64KEY);
    const std::optional<RegistryKey> wow64 = RegistryKey::TryOpen(HKEY_CLASSES_ROOT, L"CLSID", KEY_READ | KEY_WOW64_32KEY);
    ASSERT_TRUE(native && wow64);
    const std::vector<Report> reports = host.Reports();
    EXPECT_EQ(reports.size(), native->QuerySubKeyInfo().count + wow64->QuerySubKeyInfo().count);
    EXPECT_EQ(reports.back().progress, 100);
}
#endif
