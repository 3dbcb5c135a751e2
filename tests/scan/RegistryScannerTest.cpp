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
