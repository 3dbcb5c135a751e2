// The toolkit's start-up.
#include "toolkit/ToolkitStartup.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

void InitializeToolkit()
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    OleInitialize(nullptr);
}
