// The memory scanner against real processes: a second 32-bit process of our own is listed.
#include "tests/scan/ScanTestSupport.h"

#include "platform/Handle.h"
#include "platform/TextCompare.h"
#include "scan/MemoryScanner.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

constexpr wchar_t kReadyVariable[] = L"QV_HELPER_READY";
constexpr wchar_t kReleaseVariable[] = L"QV_HELPER_RELEASE";

std::wstring Variable(const wchar_t* aName)
{
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(aName, value, MAX_PATH);
    return value;
}

// Runs only in the helper process: signals that it is up, then waits to be released.
TEST(HelperProcess, DISABLED_WaitForRelease)
{
    const KernelHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, Variable(kReadyVariable).c_str()));
    const KernelHandle release(OpenEventW(SYNCHRONIZE, FALSE, Variable(kReleaseVariable).c_str()));
    ASSERT_TRUE(ready && release);
    SetEvent(ready.Get());
    WaitForSingleObject(release.Get(), 60000);
}

// A copy of this test program under a name of its own, running and waiting to be released.
class HelperProcess {
public:
    explicit HelperProcess(const std::wstring& aExePath)
    {
        const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
        const std::wstring readyName = L"qv-helper-ready-" + suffix;
        const std::wstring releaseName = L"qv-helper-release-" + suffix;
        ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
        release_.Reset(CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
        SetEnvironmentVariableW(kReadyVariable, readyName.c_str());
        SetEnvironmentVariableW(kReleaseVariable, releaseName.c_str());
        std::wstring commandLine = L"\"" + aExePath +
            L"\" --gtest_filter=HelperProcess.DISABLED_WaitForRelease --gtest_also_run_disabled_tests";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION info{};
        if (CreateProcessW(aExePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
                nullptr, &startup, &info)) {
            process_.Reset(info.hProcess);
            CloseHandle(info.hThread);
        }
    }
    ~HelperProcess()
    {
        SetEvent(release_.Get());
        if (process_ && WaitForSingleObject(process_.Get(), 10000) != WAIT_OBJECT_0)
            TerminateProcess(process_.Get(), 1);
    }

    bool WaitReady() const { return process_ && WaitForSingleObject(ready_.Get(), 20000) == WAIT_OBJECT_0; }

private:
    KernelHandle ready_;
    KernelHandle release_;
    KernelHandle process_;
};

class ModuleListRecorder : public BlockRecorder<TMemoryScanner> {
public:
    using BlockRecorder::BlockRecorder;
    using TMemoryScanner::ModuleList;
};

bool SameText(const std::wstring& aLeft, const std::wstring& aRight)
{
    return CompareForUser(aLeft, aRight) == 0;
}

TEST(MemoryScanner, ListsModulesOfOtherProcessesOnceInSortedOrderAndReadsEach)
{
    TempFolder folder;
    const std::wstring helperPath = folder.Str() + L"\\qv-module-helper.exe";
    wchar_t ownPath[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, ownPath, MAX_PATH);
    ASSERT_TRUE(CopyFileW(ownPath, helperPath.c_str(), FALSE));
    HelperProcess helper(helperPath);
    ASSERT_TRUE(helper.WaitReady());

    RecordingHost host;
    ModuleListRecorder scanner(&host);
    scanner.keepContent = false;
    std::size_t steps = 0;
    while (scanner.ScanNext())
        ++steps;

    std::vector<std::wstring> modules;
    for (std::size_t i = 0; i < scanner.ModuleList().Size(); ++i)
        modules.emplace_back(scanner.ModuleList()[i]);
    ASSERT_FALSE(modules.empty());
    EXPECT_EQ(steps, modules.size());
    EXPECT_EQ(std::count_if(modules.begin(), modules.end(), [&](auto& m) { return SameText(m, helperPath); }), 1);
    EXPECT_EQ(std::count_if(modules.begin(), modules.end(), [&](auto& m) { return SameText(m, ownPath); }), 1);
    for (std::size_t i = 1; i < modules.size(); ++i) {
        EXPECT_LT(CompareForUser(modules[i - 1], modules[i]), 0)
            << testing::PrintToString(modules[i - 1]) << " before " << testing::PrintToString(modules[i]);
    }
    // The percentages themselves are stated in the ScannerPercentage table.
    const std::vector<Report> reports = host.Reports();
    ASSERT_EQ(reports.size(), modules.size());
    for (std::size_t i = 0; i < reports.size(); ++i) {
        const std::uint8_t progress = ModuleListRecorder::Percentage(static_cast<std::int32_t>(i), reports.size());
        EXPECT_EQ(reports[i], (Report{L"memory...", progress})) << i;
    }
    EXPECT_EQ(reports.back().progress, 100);
    EXPECT_FALSE(scanner.blockSizes.empty());
}

} // namespace
