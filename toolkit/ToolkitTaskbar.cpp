// The progress shown on a window's taskbar button.
#include "toolkit/ToolkitTaskbar.h"

ITaskbarList3* TTaskbarProgress::List() noexcept
{
    if (!tried_) {
        tried_ = true;
        if (FAILED(CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3,
                list_.PutVoid())) || FAILED(list_->HrInit()))
            list_.Reset();
    }
    return list_.Get();
}

void TTaskbarProgress::Show(HWND aWindow, int aPercent, bool aPaused) noexcept
{
    if (ITaskbarList3* list = List()) {
        list->SetProgressState(aWindow, aPaused ? TBPF_PAUSED : TBPF_NORMAL);
        list->SetProgressValue(aWindow, static_cast<ULONGLONG>(aPercent), 100);
    }
}

void TTaskbarProgress::Clear(HWND aWindow) noexcept
{
    if (ITaskbarList3* list = List())
        list->SetProgressState(aWindow, TBPF_NOPROGRESS);
}
