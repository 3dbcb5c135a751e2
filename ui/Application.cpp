// The main window's event loop.
#include "ui/Application.h"

#include "toolkit/ToolkitError.h"
#include "ui/MainForm.h"

int RunMainWindow()
{
    try {
        TMainFrm mainForm;
        mainForm.Show();
        RunMessageLoop([&mainForm] { return mainForm.Handle() == nullptr; });
        return 0;
    } catch (...) {
        ShowCurrentException();
        return 1;
    }
}
