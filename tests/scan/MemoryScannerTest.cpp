// The memory scanner against real processes: a second 32-bit process of our own is listed.
#include "tests/scan/ScanTestSupport.h"

#include "platform/Handle.h"
#include "platform/TextCompare.h"
#include "scan/MemoryScanner.h"
#include "tests/scan/HelperProcess.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

namespace {

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
