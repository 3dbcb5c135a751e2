// Not a check: scripts/screenshots.sh runs this disabled test to show the results window with
// sample findings, two of them selected, until the window is closed.
#include "tests/ui/UiTestSupport.h"
#include "toolkit/Toolkit.h"
#include "ui/ResultsForm.h"

#include <gtest/gtest.h>

#include <commctrl.h>

namespace {

TEST(ResultsWindowShot, DISABLED_ShowsSampleFindingsUntilClosed)
{
    const std::wstring busy = L"The process cannot access the file because it is being used by another process";
    TResultsFrm form(nullptr,
        {{L"C:\\test\\eicar.com", L"Eicar-Test-Signature", TFindingKind::Infected, 0},
            {L"C:\\Users\\Ann\\Downloads\\setup_crack.exe", L"Trojan.Agent.Gen", TFindingKind::Infected, 0},
            {L"C:\\Users\\Ann\\AppData\\Local\\Temp\\upd4F2.tmp", L"Heur.Packed.Suspicious", TFindingKind::Possible, 0},
            {L"C:\\pagefile.sys", busy, TFindingKind::NotScanned, ERROR_SHARING_VIOLATION},
            {L"C:\\Windows\\System32\\config\\SAM", busy, TFindingKind::NotScanned, ERROR_SHARING_VIOLATION}});
    form.Show();
    // Two infected rows selected: Quarantine and Delete... are enabled.
    for (int row : {0, 1})
        ListView_SetItemState(form.List, row, LVIS_SELECTED, LVIS_SELECTED);
    PumpUntil([&form] { return form.Handle() == nullptr; }, 60s);
}

} // namespace
