// The main window: scan control and progress display.
#include "ui/MainForm.h"

#include "platform/Error.h"
#include "platform/ErrorDisplay.h"
#include "platform/FileExistence.h"
#include "scan/ScanOptions.h"
#include "scan/ScanPaths.h"
#include "settings/Settings.h"
#include "settings/StoredChoices.h"
#include "ui/Banner.h"
#include "ui/ElapsedTime.h"
#include "ui/ProductTheme.h"
#include "ui/QuarantineForm.h"
#include "ui/ResultsForm.h"
#include "ui/SettingsForm.h"

#include <commctrl.h>

namespace {

constexpr UINT_PTR kScanProgressTimer = 1;
constexpr UINT kScanProgressInterval = 100;
constexpr SIZE kClientSize{551, 405};
constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
// What the progress labels show before a scan has reported anything.
constexpr wchar_t kNoObject[] = L"Scan progress:";
constexpr wchar_t kNoCount[] = L"0";
constexpr wchar_t kNoTime[] = L"0:00:00";

} // namespace

TMainFrm::TMainFrm() : TForm(ProductTheme())
{
    CreateForm(L"Quorvane ver 1.2", kClientSize, kStyle, 0, nullptr);
    timeSeparator_ = LocaleTimeSeparator();
    CreateActions();
    CreateControls();
    CreateProgressControls();
    FinishCreate();
}

TMainFrm::~TMainFrm()
{
    SetScanProgressTimer(false);
    FScannerThread.reset();
}

void TMainFrm::CreateControls()
{
    using theme::FontKind;
    BannerControl = AddControl(WC_STATICW, L"", SS_OWNERDRAW, {0, 0, kClientSize.cx, kBannerHeight});
    Label1 = AddLabel(L"1. You can choose different options for scanning.", {20, 135}, {FontKind::Bold});
    // Wraps rather than runs under the Settings button when the font is wide.
    Label2 = AddLabel(L"If you doubt in configuration options, just leave default value (Full Scan)", {35, 155},
        {FontKind::Normal, nullptr, 431 - 4 - 35});
    SettingsButton = AddButton(L"", {431, 135, 100, 25});
    Label3 = AddLabel(L"2. Press \"Start Scan\" to start scanning and cleaning your system of malware", {20, 190},
        {FontKind::Bold});
    Button2 = AddButton(L"", {89, 220, 115, 30}, FontKind::Large);
    PauseResumeButton = AddButton(L"", {217, 220, 115, 30}, FontKind::Large);
    Button4 = AddButton(L"", {347, 220, 115, 30}, FontKind::Large);
    BindButton(SettingsButton, SettingsAction);
    BindButton(Button2, StartScanningAction);
    BindButton(PauseResumeButton, PauseScanningAction);
    BindButton(Button4, StopScanningAction);
    FitLargeFont({StartScanningAction.Text, PauseScanningAction.Text, ResumeScanningAction.Text,
                     StopScanningAction.Text},
        115);
}

void TMainFrm::CreateProgressControls()
{
    using theme::FontKind;
    Label4 = AddLabel(L"Scan progress:", {20, 265});
    ScanObjectLabel = AddLabel(kNoObject, {99, 264, 432, 19}, {FontKind::Normal, Label4},
        SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS);
    ScanProgressBar = AddControl(PROGRESS_CLASSW, L"", PBS_SMOOTH, {20, 285, 511, 30});
    UseClassicLook(ScanProgressBar);
    SendMessageW(ScanProgressBar, PBM_SETRANGE32, 0, 100);
    SendMessageW(ScanProgressBar, PBM_SETBARCOLOR, 0, static_cast<LPARAM>(theme::kBar));
    SendMessageW(ScanProgressBar, PBM_SETBKCOLOR, 0, static_cast<LPARAM>(theme::kPanel));
    Label5 = AddLabel(L"Scanned objects:", {20, 320});
    ScanObjectCountLabel = AddLabel(kNoCount, {112, 320}, {FontKind::Normal, Label5});
    Label7 = AddLabel(L"Elapsed time:", {168, 320});
    ScanElapsedTimeLabel = AddLabel(kNoTime, {240, 320}, {FontKind::Normal, Label7});
    Label9 = AddLabel(L"Infected objects:", {302, 320});
    SetTextColor(Label9, theme::kRed);
    ScanInfectedObjectCountLabel = AddLabel(kNoCount, {392, 320}, {FontKind::Normal, Label9});
    Label11 = AddLabel(L"Possible threats:", {425, 320});
    SetTextColor(Label11, theme::kOrange);
    ScanPossibleThreatCountLabel = AddLabel(kNoCount, {513, 320}, {FontKind::Normal, Label11});
    QuarantineButton = AddButton(L"", {321, 360, 100, 25});
    BindButton(QuarantineButton, QuarantineAction);
    Button5 = AddButton(L"", {431, 360, 100, 25});
    BindButton(Button5, ExitAction);
}

void TMainFrm::CreateActions()
{
    SettingsAction = {L"Settings", [this] { return !Scanning(); }, [this] { SettingsActionExecute(); }};
    StartScanningAction = {L"Start scanning", [this] { return !Scanning(); }, [this] { StartScanningActionExecute(); }};
    PauseScanningAction = {L"Pause", [this] { return Scanning() && !FScannerThread->Paused(); },
        [this] { PauseScanningActionExecute(); }};
    ResumeScanningAction = {L"Resume", [this] { return Scanning() && FScannerThread->Paused(); },
        [this] { ResumeScanningActionExecute(); }};
    StopScanningAction = {L"Stop", [this] { return Scanning(); }, [this] { StopScanningActionExecute(); }};
    QuarantineAction = {L"Quarantine...", [this] { return !Scanning(); }, [this] { QuarantineActionExecute(); }};
    ExitAction = {L"Exit", nullptr, [this] { ExitActionExecute(); }};
}

void TMainFrm::SettingsActionExecute()
{
    try {
        if (TSettingsFrm::EditModal())
            Settings().Save();
    } catch (...) {
        Settings().Load();
        throw;
    }
}

std::unique_ptr<TScannerThread> TMainFrm::CreateWorker()
{
    if (!FScanPath)
        return std::make_unique<TScannerThread>(ScanOptionsFromSettings(Settings()));
    const std::wstring path = *FScanPath;
    FScanPath.reset();
    // A path that is not there fails the start, as a missing folder in the settings does.
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && IsMissingPathError(GetLastError()))
        throw AppError(L"File or folder not found: " + path);
    TScanOptions options;
    AddScanPath(options, path);
    const TStoredChoices choices = ReadStoredChoices();
    options.Archives = choices.ArchiveScan;
    options.Heuristic = choices.HeuristicMode;
    return std::make_unique<TScannerThread>(options);
}

void TMainFrm::ScanPath(const std::wstring& aPath)
{
    FScanPath = aPath;
    StartScanningAction.Execute();
}

TResultsFrm* TMainFrm::ResultsWindow() const noexcept
{
    return results_ != nullptr && results_->Handle() != nullptr ? results_.get() : nullptr;
}

TQuarantineFrm* TMainFrm::QuarantineWindow() const noexcept
{
    return quarantine_ != nullptr && quarantine_->Handle() != nullptr ? quarantine_.get() : nullptr;
}

// Opens the Quarantine window, modeless and owned by this one, or brings it to the front with its
// list read again.
void TMainFrm::QuarantineActionExecute()
{
    if (Handle() == nullptr)
        return;
    if (QuarantineWindow() == nullptr) {
        quarantine_.reset();
        quarantine_ = std::make_unique<TQuarantineFrm>(Handle());
    }
    quarantine_->BringToFront();
}

void TMainFrm::StartScanningActionExecute()
{
    results_.reset();
    FScannerThread = CreateWorker();
    ShowZeroProgress();
    SetScanProgressTimer(true);
    taskbar_.Show(Handle(), 0, false);
}

void TMainFrm::PauseScanningActionExecute()
{
    FScannerThread->PauseWork();
    BindButton(PauseResumeButton, ResumeScanningAction);
    taskbar_.Show(Handle(), static_cast<int>(SendMessageW(ScanProgressBar, PBM_GETPOS, 0, 0)), true);
}

void TMainFrm::ResumeScanningActionExecute()
{
    FScannerThread->ResumeWork();
    BindButton(PauseResumeButton, PauseScanningAction);
    taskbar_.Show(Handle(), static_cast<int>(SendMessageW(ScanProgressBar, PBM_GETPOS, 0, 0)), false);
}

void TMainFrm::StopScanningActionExecute()
{
    ShowResults(EndScan());
}

// The worker is stopped and its final figures shown before it goes (the labels keep them);
// returns its findings and its counts of what it skipped.
TMainFrm::ScanResults TMainFrm::EndScan()
{
    SetScanProgressTimer(false);
    std::unique_ptr<TScannerThread> worker = std::move(FScannerThread);
    worker->StopThread();
    ShowScanFigures(worker->GetScanInfo());
    ScanResults results{worker->FindingsFrom(0), worker->Skipped()};
    worker.reset();
    BindButton(PauseResumeButton, PauseScanningAction);
    SendMessageW(ScanProgressBar, PBM_SETPOS, 0, 0);
    taskbar_.Clear(Handle());
    // A message box may follow, and its loop runs no idle updates: show the idle buttons now.
    UpdateActions();
    return results;
}

void TMainFrm::ExitActionExecute()
{
    PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void TMainFrm::TimerTick(UINT_PTR aId)
{
    if (aId == kScanProgressTimer)
        ScanProgressTimerTimer();
}

void TMainFrm::ScanProgressTimerTimer()
{
    UpdateScanProgress();
}

void TMainFrm::UpdateScanProgress()
{
    if (!Scanning())
        return;
    if (FScannerThread->Finished()) {
        FinishScan();
        return;
    }
    const TScanInfo info = FScannerThread->GetScanInfo();
    ShowScanFigures(info);
    SendMessageW(ScanProgressBar, PBM_SETPOS, info.Progress, 0);
    taskbar_.Show(Handle(), info.Progress, FScannerThread->Paused());
}

void TMainFrm::ShowZeroProgress()
{
    SetText(ScanObjectLabel, kNoObject);
    SendMessageW(ScanProgressBar, PBM_SETPOS, 0, 0);
    for (HWND count : {ScanObjectCountLabel, ScanInfectedObjectCountLabel, ScanPossibleThreatCountLabel})
        SetText(count, kNoCount);
    SetText(ScanElapsedTimeLabel, kNoTime);
}

// Until the worker reports its first object the object label keeps its opening text.
void TMainFrm::ShowScanFigures(const TScanInfo& aInfo)
{
    SetText(ScanObjectLabel, aInfo.ObjectName.empty() ? kNoObject : aInfo.ObjectName);
    SetText(ScanObjectCountLabel, std::to_wstring(aInfo.TotalCount));
    SetText(ScanElapsedTimeLabel, FormatElapsedTime(GetTickCount64() - aInfo.StartTickCount, timeSeparator_));
    SetText(ScanInfectedObjectCountLabel, std::to_wstring(aInfo.InfectedCount));
    SetText(ScanPossibleThreatCountLabel, std::to_wstring(aInfo.PossibleCount));
}

// The worker has ended by itself: its final figures, the idle state, the message, then the findings.
void TMainFrm::FinishScan()
{
    const std::optional<std::wstring> failure = FScannerThread->FailureMessage();
    ScanResults results = EndScan();
    ShowScanEnd(failure);
    ShowResults(std::move(results));
}

// A worker ended by an error is reported as a failure, never as a success. Either box belongs to
// this window, also when the scan ends while another window is active.
void TMainFrm::ShowScanEnd(const std::optional<std::wstring>& aFailure)
{
    if (aFailure)
        ShowErrorMessage(L"Scanning failed: " + *aFailure, Handle());
    else
        MessageBoxW(Handle(), L"Scanning finished successfully.", L"Quorvane", MB_OK | MB_ICONINFORMATION);
}

// A scan with findings (threats or objects not scanned) opens their window, modeless and owned by
// this one; without, nothing opens, whatever was counted as skipped.
void TMainFrm::ShowResults(ScanResults aResults)
{
    if (aResults.findings.empty() || Handle() == nullptr)
        return;
    results_ = std::make_unique<TResultsFrm>(Handle(), std::move(aResults.findings), aResults.skipped);
    results_->OnQuarantined = [this] { QuarantineActionExecute(); };
    results_->Show();
}

void TMainFrm::SetScanProgressTimer(bool aEnabled)
{
    if (Handle() == nullptr)
        return;
    if (aEnabled)
        SetTimer(Handle(), kScanProgressTimer, kScanProgressInterval, nullptr);
    else
        KillTimer(Handle(), kScanProgressTimer);
}

void TMainFrm::DrawItem(const DRAWITEMSTRUCT& aItem)
{
    if (aItem.hwndItem == BannerControl)
        DrawBanner(aItem.hDC, aItem.rcItem, Dpi());
}

// Windows is ending the session: stop the scan and go, without asking or showing findings.
void TMainFrm::EndSession()
{
    if (Scanning())
        EndScan();
    DestroyWindow(Handle());
}
