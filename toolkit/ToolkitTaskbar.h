// The progress shown on a window's taskbar button (ITaskbarList3); does nothing where it is not offered.
#pragma once

#include "platform/ComPtr.h"

#include <windows.h>
#include <shobjidl.h>

class TTaskbarProgress {
public:
    // aPercent from 0 to 100 on aWindow's button, shown as normal or paused progress.
    void Show(HWND aWindow, int aPercent, bool aPaused) noexcept;
    void Clear(HWND aWindow) noexcept;

private:
    ITaskbarList3* List() noexcept;

    ComPtr<ITaskbarList3> list_;
    bool tried_ = false;
};
