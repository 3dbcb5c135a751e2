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

// The file system path of the dialog's result; false when it has none.
bool ResultPath(IFileDialog& aDialog, std::wstring& aPath)
{
    ComPtr<IShellItem> item;
    if (FAILED(aDialog.GetResult(item.Put())))
        return false;
    CoTaskText path;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &path.Text)) || path.Text == nullptr)
        return false;
    aPath = path.Text;
    return true;
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
    return ResultPath(*dialog.Get(), aPath);
}

bool SelectSaveFile(const std::wstring& aFileName, const std::wstring& aTypeName, const std::wstring& aExtension,
    HWND aOwner, std::wstring& aPath)
{
    ComPtr<IFileSaveDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileSaveDialog, nullptr, CLSCTX_INPROC_SERVER, IID_IFileSaveDialog,
            dialog.PutVoid())))
        return false;
    const std::wstring pattern = aExtension.empty() ? L"*.*" : L"*." + aExtension;
    const COMDLG_FILTERSPEC types[] = {{aTypeName.c_str(), pattern.c_str()}};
    dialog->SetFileTypes(1, types);
    if (!aExtension.empty())
        dialog->SetDefaultExtension(aExtension.c_str());
    dialog->SetFileName(aFileName.c_str());
    AddOption(*dialog.Get(), FOS_OVERWRITEPROMPT | FOS_FORCEFILESYSTEM);
    if (FAILED(dialog->Show(aOwner)))
        return false;
    return ResultPath(*dialog.Get(), aPath);
}
