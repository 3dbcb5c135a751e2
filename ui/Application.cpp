// The toolkit's start-up and the main window's event loop.
#include "ui/Application.h"

#include "platform/ToolkitError.h"
#include "ui/MainForm.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

void InitializeToolkit()
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    OleInitialize(nullptr);
}

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
