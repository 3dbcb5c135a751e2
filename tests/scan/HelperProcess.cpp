// The helper process: a copy of the test program running one disabled test.
#include "tests/scan/HelperProcess.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

constexpr wchar_t kReadyVariable[] = L"QV_HELPER_READY";
constexpr wchar_t kReleaseVariable[] = L"QV_HELPER_RELEASE";
constexpr wchar_t kModuleVariable[] = L"QV_HELPER_MODULE";

std::wstring Variable(const wchar_t* aName)
{
    wchar_t value[MAX_PATH] = {};
    GetEnvironmentVariableW(aName, value, MAX_PATH);
    return value;
}

// Runs only in the helper process: loads the module it is given, signals that it is up, then
// waits to be released.
TEST(HelperProcess, DISABLED_WaitForRelease)
{
    const std::wstring module = Variable(kModuleVariable);
    const HMODULE loaded = module.empty() ? nullptr : LoadLibraryW(module.c_str());
    ASSERT_TRUE(module.empty() || loaded != nullptr);
    const KernelHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, Variable(kReadyVariable).c_str()));
    const KernelHandle release(OpenEventW(SYNCHRONIZE, FALSE, Variable(kReleaseVariable).c_str()));
    ASSERT_TRUE(ready && release);
    SetEvent(ready.Get());
    WaitForSingleObject(release.Get(), 60000);
}

} // namespace

HelperProcess::HelperProcess(const std::wstring& aExePath, const std::wstring& aModule)
{
    const std::wstring suffix = std::to_wstring(GetCurrentProcessId());
    const std::wstring readyName = L"qv-helper-ready-" + suffix;
    const std::wstring releaseName = L"qv-helper-release-" + suffix;
    ready_.Reset(CreateEventW(nullptr, TRUE, FALSE, readyName.c_str()));
    release_.Reset(CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str()));
    SetEnvironmentVariableW(kReadyVariable, readyName.c_str());
    SetEnvironmentVariableW(kReleaseVariable, releaseName.c_str());
    SetEnvironmentVariableW(kModuleVariable, aModule.empty() ? nullptr : aModule.c_str());
    std::wstring commandLine =
        L"\"" + aExePath + L"\" --gtest_filter=HelperProcess.DISABLED_WaitForRelease --gtest_also_run_disabled_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (CreateProcessW(aExePath.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr,
            nullptr, &startup, &info)) {
        process_.Reset(info.hProcess);
        CloseHandle(info.hThread);
    }
}

HelperProcess::~HelperProcess()
{
    SetEvent(release_.Get());
    if (process_ && WaitForSingleObject(process_.Get(), 10000) != WAIT_OBJECT_0)
        TerminateProcess(process_.Get(), 1);
}

bool HelperProcess::WaitReady() const
{
    return process_ && WaitForSingleObject(ready_.Get(), 20000) == WAIT_OBJECT_0;
}
