// WOW64 redirection control, looked up in kernel32 at run time.
#include "platform/Wow64Redirection.h"

#include "platform/SystemLibrary.h"

namespace {

using DisableFn = BOOL(WINAPI*)(PVOID*);
using RevertFn = BOOL(WINAPI*)(PVOID);
using EnableFn = BOOLEAN(WINAPI*)(BOOLEAN);

struct RedirectionControl {
    DisableFn disable = nullptr;
    RevertFn revert = nullptr;
    EnableFn enable = nullptr;

    bool Present() const noexcept { return disable != nullptr && revert != nullptr && enable != nullptr; }
};

const RedirectionControl& Control() noexcept
{
    static const RedirectionControl control = [] {
        RedirectionControl result;
        const HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
        if (kernel32 != nullptr) {
            result.disable = ProcedureAddress<DisableFn>(kernel32, "Wow64DisableWow64FsRedirection");
            result.revert = ProcedureAddress<RevertFn>(kernel32, "Wow64RevertWow64FsRedirection");
            result.enable = ProcedureAddress<EnableFn>(kernel32, "Wow64EnableWow64FsRedirection");
        }
        return result;
    }();
    return control;
}

} // namespace

Wow64RedirectionOff::Wow64RedirectionOff() noexcept
{
    const RedirectionControl& control = Control();
    PVOID oldValue = nullptr;
    active_ = control.Present() && control.disable(&oldValue) != FALSE;
}

Wow64RedirectionOff::~Wow64RedirectionOff()
{
    if (active_)
        Control().enable(TRUE);
}
