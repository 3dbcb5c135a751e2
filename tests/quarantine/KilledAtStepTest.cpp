#include "quarantine/Quarantine.h"

#include "tests/support/DatabaseFiles.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace quarantine {
namespace {

namespace fs = std::filesystem;

std::wstring Variable(const wchar_t* aName)
{
    wchar_t value[1024] = {};
    GetEnvironmentVariableW(aName, value, 1024);
    return value;
}

// Run by the test below in a process of its own: quarantines QV_KILL_FILE into QV_KILL_STORE
// and ends the process without any clean-up at step QV_KILL_STEP.
TEST(KilledAtStep, DISABLED_Helper)
{
    const int killAt = std::stoi(Variable(L"QV_KILL_STEP"));
    QuarantineFile(Variable(L"QV_KILL_FILE"), L"x", vault::ThreatKind::Infected, Variable(L"QV_KILL_STORE"),
        [killAt](Step aStep) {
            if (static_cast<int>(aStep) == killAt)
                TerminateProcess(GetCurrentProcess(), 7);
        });
}

DWORD RunHelper(int aStep, const std::wstring& aFile, const std::wstring& aStore)
{
    SetEnvironmentVariableW(L"QV_KILL_STEP", std::to_wstring(aStep).c_str());
    SetEnvironmentVariableW(L"QV_KILL_FILE", aFile.c_str());
    SetEnvironmentVariableW(L"QV_KILL_STORE", aStore.c_str());
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(exe) +
        L"\" --gtest_filter=KilledAtStep.DISABLED_Helper --gtest_also_run_disabled_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return GetLastError();
    WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

TEST(KilledAtStep, TheFileSurvivesSomewhereAndTheNextStartLeavesNoTemporaryItem)
{
    const std::string eicar = EicarText();
    for (Step step : {Step::Opened, Step::Written, Step::Flushed, Step::Verified, Step::Renamed, Step::Deleted}) {
        TempFolder files, store;
        const fs::path file = files.Path() / L"killed.com";
        std::ofstream(file, std::ios::binary) << eicar;
        EXPECT_EQ(RunHelper(static_cast<int>(step), file.wstring(), store.Str()), 7u) << static_cast<int>(step);

        RemoveTemporaryItems(store.Str());
        std::size_t temporary = 0;
        for (const auto& entry : fs::directory_iterator(store.Path()))
            temporary += entry.path().extension() == L".partial";
        EXPECT_EQ(temporary, 0u) << static_cast<int>(step);
        const auto items = ListItems(store.Str());
        const bool original = fs::exists(file);
        EXPECT_TRUE(original || !items.empty()) << "lost at step " << static_cast<int>(step);
        if (original) {
            std::ifstream in(file, std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), eicar) << static_cast<int>(step);
        }
        for (const Item& item : items)
            EXPECT_FALSE(item.Header.Path.empty()) << "a complete item reads back at step " << static_cast<int>(step);
        EXPECT_EQ(!original, step == Step::Deleted) << static_cast<int>(step);
    }
}

} // namespace
} // namespace quarantine
