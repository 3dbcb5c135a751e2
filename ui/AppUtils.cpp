// Path and folder helpers of the interface.
#include "ui/AppUtils.h"

#include "platform/ComPtr.h"
#include "platform/Error.h"
#include "platform/SystemLibrary.h"

#include <shobjidl.h>

namespace {

// The shell's task memory, released with CoTaskMemFree.
struct CoTaskText {
    PWSTR Text = nullptr;
    ~CoTaskText() { CoTaskMemFree(Text); }
};

bool AddOption(IFileDialog& aDialog, FILEOPENDIALOGOPTIONS aOption)
{
    FILEOPENDIALOGOPTIONS options = 0;
    return SUCCEEDED(aDialog.GetOptions(&options)) && SUCCEEDED(aDialog.SetOptions(options | aOption));
}

} // namespace

DWORD WindowsMajorVersion() noexcept
{
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto rtlGetVersion = ProcedureAddress<RtlGetVersionFn>(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion");
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (rtlGetVersion == nullptr || rtlGetVersion(&info) != 0)
        return 0;
    return info.dwMajorVersion;
}

bool HasFolderPicker(DWORD aMajorVersion) noexcept
{
    return aMajorVersion >= 6;
}

bool IsDriveRoot(std::wstring_view aText) noexcept
{
    return aText.size() == 3;
}

bool SelectFolder(const std::wstring& aTitle, HWND aOwner, std::wstring& aPath)
{
    if (!HasFolderPicker(WindowsMajorVersion()))
        throw AppError(L"You can't add custom folder on Windows less then Vista");
    ComPtr<IFileDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileDialog,
            dialog.PutVoid())))
        return false;
    AddOption(*dialog.Get(), FOS_PICKFOLDERS);
    AddOption(*dialog.Get(), FOS_FORCEFILESYSTEM);
    dialog->SetOkButtonLabel(L"Select");
    dialog->SetTitle(aTitle.c_str());
    if (FAILED(dialog->Show(aOwner)))
        return false;
    ComPtr<IShellItem> item;
    if (FAILED(dialog->GetResult(item.Put())))
        return false;
    CoTaskText path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path.Text)) || path.Text == nullptr)
        return false;
    aPath = path.Text;
    return true;
}
