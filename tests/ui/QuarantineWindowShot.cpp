// Not a check: scripts/screenshots.sh runs this disabled test to show the Quarantine window with
// sample items, one of them selected, until the window is closed; the items are removed afterwards.
#include "quarantine/Quarantine.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/UiTestSupport.h"
#include "toolkit/Toolkit.h"
#include "ui/QuarantineForm.h"

#include <gtest/gtest.h>

#include <commctrl.h>

#include <filesystem>
#include <fstream>

namespace {

TEST(QuarantineWindowShot, DISABLED_ShowsSampleItemsUntilClosed)
{
    namespace fs = std::filesystem;
    TempFolder store;
    const struct {
        const wchar_t* path;
        const wchar_t* threat;
        std::size_t size;
    } samples[] = {{L"C:\\test\\eicar.com", L"Eicar-Test-Signature", 68},
        {L"C:\\users\\Public\\Downloads\\setup_crack.exe", L"Trojan.Agent.Gen", 1843200},
        {L"C:\\users\\Public\\Documents\\invoice.pdf.exe", L"Heur.Packed.Suspicious", 356352}};
    for (const auto& sample : samples) {
        fs::create_directories(fs::path(sample.path).parent_path());
        std::ofstream(fs::path(sample.path), std::ios::binary) << std::string(sample.size, 'x');
        quarantine::QuarantineFile(sample.path, sample.threat, vault::ThreatKind::Infected, store.Str());
    }
    TQuarantineFrm form(nullptr, store.Str());
    form.Show();
    ListView_SetItemState(form.List, 1, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    PumpUntil([&form] { return form.Handle() == nullptr; }, 60s);
    for (const quarantine::Item& item : quarantine::ListItems(store.Str()))
        quarantine::DeleteItem(item.File);
}

} // namespace
