// The main window's event loop.
#include "ui/Application.h"

#include "toolkit/ToolkitError.h"
#include "ui/MainForm.h"

namespace {

// A scan that cannot start shows its error; the window stays.
void StartScan(TMainFrm& aMainForm, const std::wstring& aPath)
{
    try {
        aMainForm.ScanPath(aPath);
    } catch (...) {
        ShowCurrentException();
    }
}

} // namespace

int RunMainWindow(const std::optional<std::wstring>& aScanPath)
{
    try {
        TMainFrm mainForm;
        mainForm.Show();
        if (aScanPath)
            StartScan(mainForm, *aScanPath);
        RunMessageLoop([&mainForm] { return mainForm.Handle() == nullptr; });
        return 0;
    } catch (...) {
        ShowCurrentException();
        return 1;
    }
}
