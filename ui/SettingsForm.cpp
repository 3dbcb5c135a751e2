// The options dialog: the scan options and the drives and folders to scan.
#include "ui/SettingsForm.h"

#include "platform/Error.h"
#include "settings/Settings.h"
#include "ui/AppUtils.h"
#include "ui/ProductTheme.h"

#include <commctrl.h>

#include <utility>
#include <vector>

namespace {

constexpr SIZE kClientSize{497, 438};
// No WS_CLIPCHILDREN: group boxes leave their inside to the dialog's background.
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;
constexpr DWORD kExStyle = WS_EX_DLGMODALFRAME;
constexpr TBounds kGroupBox1{10, 5, 476, 106};
constexpr TBounds kGroupBox2{10, 120, 476, 66};
constexpr TBounds kGroupBox3{10, 190, 476, 201};

// A control's bounds given inside a group box, in the dialog's client area.
TBounds In(const TBounds& aGroup, TBounds aBounds)
{
    return {aGroup.X + aBounds.X, aGroup.Y + aBounds.Y, aBounds.Width, aBounds.Height};
}

bool IsChecked(HWND aCheckBox)
{
    return SendMessageW(aCheckBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void SetChecked(HWND aCheckBox, bool aChecked)
{
    SendMessageW(aCheckBox, BM_SETCHECK, aChecked ? BST_CHECKED : BST_UNCHECKED, 0);
}

} // namespace

bool TSettingsFrm::EditModal()
{
    TSettingsFrm form(GetActiveWindow());
    form.LoadFromSettings();
    return form.ShowModal() == IDOK;
}

TSettingsFrm::TSettingsFrm(HWND aOwner) : TForm(ProductTheme())
{
    CreateForm(L"", kClientSize, kStyle, kExStyle, aOwner);
    RemoveFolderAction = {L"Remove folder", [this] { return RemoveFolderActionUpdate(); },
        [this] { RemoveFolderActionExecute(); }};
    CreateControls();
    CreateFolderControls();
    SetDefaultButton(IDOK);
    FinishCreate();
    FormCreate();
}

void TSettingsFrm::CreateControls()
{
    SaveButton = AddButton(L"Save options", {315, 405, 80, 22}, theme::FontKind::Normal, IDOK, BS_DEFPUSHBUTTON);
    GroupBox1 = AddGroupBox(L"Full scan", kGroupBox1);
    Label1 = AddLabel(L"Full scan means that application will perform full scan of your system. "
                      L"You don't need to set up any options.",
        In(kGroupBox1, {20, 20, 431, 46}));
    FullScanControl = AddCheckBox(L"Perform full scan", In(kGroupBox1, {20, 70, 120, 21}));
    GroupBox2 = AddGroupBox(L"Scan options", kGroupBox2);
    MemoryScanControl = AddCheckBox(L"Scan memory", In(kGroupBox2, {20, 25, 110, 21}));
    RegistryScanControl = AddCheckBox(L"Scan registry", In(kGroupBox2, {128, 25, 110, 21}));
    ArchiveScanControl = AddCheckBox(L"Scan archives", In(kGroupBox2, {236, 25, 110, 21}));
    HeuristicModeControl = AddCheckBox(L"Heuristic mode", In(kGroupBox2, {345, 25, 110, 21}));
    Button2 = AddButton(L"Cancel", {405, 405, 80, 22}, theme::FontKind::Normal, IDCANCEL);
}

void TSettingsFrm::CreateFolderControls()
{
    GroupBox3 = AddGroupBox(L"Drives and folders to scan", kGroupBox3);
    AddFolderButton = AddButton(L"Add folder", In(kGroupBox3, {365, 25, 100, 22}));
    RemoveFolderButton = AddButton(L"", In(kGroupBox3, {365, 55, 100, 22}));
    BindButton(RemoveFolderButton, RemoveFolderAction);
    FoldersControl = AddControl(WC_LISTVIEWW, L"",
        WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
        In(kGroupBox3, {20, 25, 336, 156}));
    folders_ = TCheckList(FoldersControl);
    folders_.Prepare(theme::kPanel, theme::kText);
}

void TSettingsFrm::FormCreate()
{
    SetCaption(L"Quorvane options");
    folders_.Clear();
}

void TSettingsFrm::LoadFromSettings()
{
    TSettings& settings = Settings();
    SetChecked(FullScanControl, settings.FullScan());
    SetChecked(MemoryScanControl, settings.MemoryScan());
    SetChecked(RegistryScanControl, settings.RegistryScan());
    SetChecked(ArchiveScanControl, settings.ArchiveScan());
    SetChecked(HeuristicModeControl, settings.HeuristicMode());
    std::vector<TCheckItem> folders;
    folders.reserve(static_cast<std::size_t>(settings.FolderCount()));
    for (int i = 0; i < settings.FolderCount(); ++i) {
        std::wstring path = settings.GetFolderName(i);
        const bool scan = settings.GetFolderScan(path);
        folders.emplace_back(std::move(path), scan);
    }
    folders_.AddItems(std::move(folders));
    UpdateControls();
}

void TSettingsFrm::SaveToSettings()
{
    TSettings& settings = Settings();
    settings.SetFullScan(IsChecked(FullScanControl));
    settings.SetMemoryScan(IsChecked(MemoryScanControl));
    settings.SetRegistryScan(IsChecked(RegistryScanControl));
    settings.SetArchiveScan(IsChecked(ArchiveScanControl));
    settings.SetHeuristicMode(IsChecked(HeuristicModeControl));
    settings.ClearFolders();
    for (int i = 0; i < folders_.Count(); ++i)
        settings.SetFolderScan(folders_.Text(i), folders_.Checked(i));
}

void TSettingsFrm::UpdateControls()
{
    const BOOL enabled = IsChecked(FullScanControl) ? FALSE : TRUE;
    for (HWND control : {GroupBox2, MemoryScanControl, RegistryScanControl, ArchiveScanControl,
             HeuristicModeControl, GroupBox3, AddFolderButton, FoldersControl})
        EnableWindow(control, enabled);
    UpdateActions();
}

void TSettingsFrm::ButtonClick(HWND aButton)
{
    if (aButton == SaveButton)
        SaveButtonClick();
    else if (aButton == Button2)
        SetModalResult(IDCANCEL);
    else if (aButton == AddFolderButton)
        AddFolderButtonClick();
    else if (aButton == FullScanControl)
        FullScanControlChange();
}

LRESULT TSettingsFrm::Notify(NMHDR& aHeader)
{
    if (aHeader.hwndFrom == FoldersControl && aHeader.code == NM_CUSTOMDRAW)
        return TCheckList::CustomDraw(aHeader);
    return 0;
}

void TSettingsFrm::FullScanControlChange()
{
    UpdateControls();
}

void TSettingsFrm::SaveButtonClick()
{
    SaveToSettings();
    SetModalResult(IDOK);
}

void TSettingsFrm::AddFolderButtonClick()
{
    std::wstring path;
    if (SelectFolder(L"Add folder to scan", Handle(), path))
        AddFolder(path);
}

void TSettingsFrm::AddFolder(const std::wstring& aPath)
{
    if (folders_.Find(aPath) < 0)
        folders_.Add(aPath);
    const int index = folders_.Find(aPath);
    if (index < 0)
        throw AppError(L"Unexpected condition");
    folders_.SetChecked(index, true);
    folders_.Select(index);
}

// The button is bound to this action, so the action also follows the enabled state of the button's group.
bool TSettingsFrm::RemoveFolderActionUpdate() const
{
    const int selected = folders_.Selected();
    return IsWindowEnabled(GroupBox3) && selected >= 0 && !IsDriveRoot(folders_.Text(selected));
}

void TSettingsFrm::RemoveFolderActionExecute()
{
    const int selected = folders_.Selected();
    if (selected >= 0)
        folders_.Remove(selected);
}
