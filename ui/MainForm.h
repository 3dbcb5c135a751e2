// The main window: starts, pauses, resumes and stops a scan and shows its progress.
#pragma once

#include "toolkit/ToolkitForm.h"
#include "toolkit/ToolkitTaskbar.h"
#include "scan/ScannerThread.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class TQuarantineFrm;
class TResultsFrm;

class TMainFrm : public TForm {
public:
    // Creates the window, hidden. Throws AppError when it cannot be created.
    TMainFrm();
    ~TMainFrm() override;

    bool Scanning() const noexcept { return FScannerThread != nullptr; }
    // The window with the findings of the last scan while it is open, otherwise nullptr.
    TResultsFrm* ResultsWindow() const noexcept;
    // The Quarantine window while it is open, otherwise nullptr.
    TQuarantineFrm* QuarantineWindow() const noexcept;
    // Starts a scan of exactly aPath, a file (read whatever its extension) or a folder, with the
    // stored archive and heuristic choices and no memory or registry scan; later scans follow the
    // settings again. Throws what CreateWorker throws.
    void ScanPath(const std::wstring& aPath);

    HWND BannerControl = nullptr;
    HWND Label1 = nullptr;
    HWND Label2 = nullptr;
    HWND SettingsButton = nullptr;
    HWND Label3 = nullptr;
    HWND Button2 = nullptr;
    HWND PauseResumeButton = nullptr;
    HWND Button4 = nullptr;
    HWND Label4 = nullptr;
    HWND ScanObjectLabel = nullptr;
    HWND ScanProgressBar = nullptr;
    HWND Label5 = nullptr;
    HWND ScanObjectCountLabel = nullptr;
    HWND Label7 = nullptr;
    HWND ScanElapsedTimeLabel = nullptr;
    HWND Label9 = nullptr;
    HWND ScanInfectedObjectCountLabel = nullptr;
    HWND Label11 = nullptr;
    HWND ScanPossibleThreatCountLabel = nullptr;
    HWND QuarantineButton = nullptr;
    HWND Button5 = nullptr;

    TAction SettingsAction;
    TAction StartScanningAction;
    TAction PauseScanningAction;
    TAction ResumeScanningAction;
    TAction StopScanningAction;
    TAction QuarantineAction;
    TAction ExitAction;

protected:
    // The worker of a new scan, its options filled from the settings, or for ScanPath's path.
    // Throws what TScannerThread(const TScanOptions&) throws.
    virtual std::unique_ptr<TScannerThread> CreateWorker();

    bool CloseQuery() override { return FormCloseQuery(); }
    void TimerTick(UINT_PTR aId) override;
    void DrawItem(const DRAWITEMSTRUCT& aItem) override;
    void EndSession() override;

private:
    // What an ended scan leaves for the results window.
    struct ScanResults {
        std::vector<TFinding> findings;
        TSkippedCounts skipped;
    };

    void CreateControls();
    void CreateProgressControls();
    void CreateActions();

    void SettingsActionExecute();
    void StartScanningActionExecute();
    void PauseScanningActionExecute();
    void ResumeScanningActionExecute();
    void StopScanningActionExecute();
    void QuarantineActionExecute();
    void ExitActionExecute();
    void ScanProgressTimerTimer();
    void UpdateScanProgress();
    void ShowZeroProgress();
    void ShowScanFigures(const TScanInfo& aInfo);
    void FinishScan();
    ScanResults EndScan();
    void ShowScanEnd(const std::optional<std::wstring>& aFailure);
    void ShowResults(ScanResults aResults);
    bool FormCloseQuery() const noexcept { return !Scanning(); }
    void SetScanProgressTimer(bool aEnabled);

    std::unique_ptr<TScannerThread> FScannerThread;
    // The path the next scan covers instead of the settings' choices, once.
    std::optional<std::wstring> FScanPath;
    std::unique_ptr<TResultsFrm> results_;
    std::unique_ptr<TQuarantineFrm> quarantine_;
    TTaskbarProgress taskbar_;
    std::wstring timeSeparator_;
};
