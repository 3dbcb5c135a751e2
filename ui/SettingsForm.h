// The options dialog: the scan options and the drives and folders to scan.
#pragma once

#include "toolkit/ToolkitCheckList.h"
#include "toolkit/ToolkitForm.h"

#include <string>

class TSettingsFrm : public TForm {
public:
    // Runs the whole dialog: true when it was closed with "Save options", the settings object then
    // holding what it showed. Throws what the settings throw and AppError ("Unexpected condition").
    static bool EditModal();

    // Creates the dialog, hidden, owned by aOwner. Throws AppError when it cannot be created.
    explicit TSettingsFrm(HWND aOwner = nullptr);

    // Settings into controls: the folder table sorted in memory and listed in one pass. Throws what
    // the settings throw and AppError when the list refuses an item.
    void LoadFromSettings();
    // The step below the folder picker: lists aPath (once, whatever its letter case), checks and
    // selects it. Throws AppError ("Unexpected condition").
    void AddFolder(const std::wstring& aPath);

    HWND SaveButton = nullptr;
    HWND GroupBox1 = nullptr;
    HWND Label1 = nullptr;
    HWND FullScanControl = nullptr;
    HWND GroupBox2 = nullptr;
    HWND MemoryScanControl = nullptr;
    HWND RegistryScanControl = nullptr;
    HWND ArchiveScanControl = nullptr;
    HWND HeuristicModeControl = nullptr;
    HWND Button2 = nullptr;
    HWND GroupBox3 = nullptr;
    HWND AddFolderButton = nullptr;
    HWND RemoveFolderButton = nullptr;
    HWND FoldersControl = nullptr;
    TAction RemoveFolderAction;

protected:
    void ButtonClick(HWND aButton) override;
    LRESULT Notify(NMHDR& aHeader) override;
    void Rescaled() override { folders_.FitColumn(); }

private:
    void CreateControls();
    void CreateFolderControls();
    void FormCreate();
    void FullScanControlChange();
    void SaveButtonClick();
    void AddFolderButtonClick();
    bool RemoveFolderActionUpdate() const;
    void RemoveFolderActionExecute();
    void SaveToSettings();
    void UpdateControls();

    TCheckList folders_;
};
