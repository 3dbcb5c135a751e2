// The main window driven by messages: its layout, its states, and every way a scan ends.
#include "platform/DeviceContext.h"
#include "toolkit/Toolkit.h"
#include "settings/Settings.h"
#include "tests/support/DatabaseFiles.h"
#include "tests/support/QuickScan.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestSupport.h"
#include "tests/ui/ScriptedWorker.h"
#include "tests/ui/UiTestSupport.h"
#include "quarantine/Quarantine.h"
#include "ui/MainForm.h"
#include "ui/QuarantineForm.h"
#include "ui/ResultsForm.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace {

struct Buttons {
    bool settings;
    bool start;
    bool pauseResume;
    bool stop;
    bool quarantine;
    bool exit;
    std::wstring pauseResumeText;
    bool operator==(const Buttons&) const = default;
};

void PrintTo(const Buttons& aButtons, std::ostream* aOut)
{
    *aOut << "{settings " << aButtons.settings << ", start " << aButtons.start << ", pause/resume "
          << aButtons.pauseResume << " '" << testing::PrintToString(aButtons.pauseResumeText) << "', stop "
          << aButtons.stop << ", quarantine " << aButtons.quarantine << ", exit " << aButtons.exit << "}";
}

const Buttons kIdle{true, true, false, false, true, true, L"Pause"};
const Buttons kRunning{false, false, true, true, false, true, L"Pause"};
const Buttons kPaused{false, false, true, true, false, true, L"Resume"};

Buttons Observe(const TMainFrm& aForm)
{
    return {Enabled(aForm.SettingsButton), Enabled(aForm.Button2), Enabled(aForm.PauseResumeButton),
        Enabled(aForm.Button4), Enabled(aForm.QuarantineButton), Enabled(aForm.Button5), Text(aForm.PauseResumeButton)};
}

// The lines of a word-wrapped label, broken at spaces as the label breaks them at its width.
std::vector<std::wstring> WrappedLines(HWND aLabel)
{
    const std::wstring text = Text(aLabel);
    RECT client;
    GetClientRect(aLabel, &client);
    const WindowDc dc(aLabel);
    const SelectedObject font(dc.Get(), reinterpret_cast<HFONT>(SendMessageW(aLabel, WM_GETFONT, 0, 0)));
    std::vector<std::wstring> lines{L""};
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = std::min(text.find(L' ', start), text.size());
        const std::wstring word = text.substr(start, end - start);
        const std::wstring joined = lines.back().empty() ? word : lines.back() + L' ' + word;
        SIZE size{};
        GetTextExtentPoint32W(dc.Get(), joined.c_str(), static_cast<int>(joined.size()), &size);
        if (size.cx <= client.right || lines.back().empty())
            lines.back() = joined;
        else
            lines.push_back(word);
        start = end + 1;
    }
    return lines;
}

int ProgressOf(const TMainFrm& aForm)
{
    return static_cast<int>(SendMessageW(aForm.ScanProgressBar, PBM_GETPOS, 0, 0));
}

class MainFormTest : public testing::Test {
protected:
    static void SetUpTestSuite() { WriteSignatureFile(); }
    static void TearDownTestSuite() { RemoveSignatureFile(); }

    void SetUp() override
    {
        ResetSettings();
        for (int i = 0; i < 300; ++i)
            WriteTestFile(folder_.Path() / (L"file" + std::to_wstring(i) + L".exe"), "MZ" + std::to_string(i));
        UseQuickScanSettings({folder_.Str()});
        form_.Show();
        Settle();
    }

    void TearDown() override { ResetSettings(); }

    // Start and Pause at once, so that the worker pauses long before it has read its files.
    void StartPaused()
    {
        Click(form_.Button2);
        Settle();
        ASSERT_TRUE(form_.Scanning());
        Click(form_.PauseResumeButton);
        Settle();
    }

    // The labels' texts: object, count, elapsed time, infected, possible threats.
    std::vector<std::wstring> Figures() const
    {
        return {Text(form_.ScanObjectLabel), Text(form_.ScanObjectCountLabel), Text(form_.ScanElapsedTimeLabel),
            Text(form_.ScanInfectedObjectCountLabel), Text(form_.ScanPossibleThreatCountLabel)};
    }

    TempFolder folder_;
    ScriptedMainFrm form_;
};

TEST_F(MainFormTest, OpensIdleWithItsControlsInPlace)
{
    EXPECT_EQ(Text(form_.Handle()), L"Quorvane ver 1.2");
    RECT client;
    GetClientRect(form_.Handle(), &client);
    EXPECT_EQ(client.right, form_.Scale(551));
    EXPECT_EQ(client.bottom, form_.Scale(405));
    const LONG style = GetWindowLongW(form_.Handle(), GWL_STYLE);
    EXPECT_TRUE((style & WS_MINIMIZEBOX) && (style & WS_SYSMENU));
    EXPECT_FALSE((style & WS_MAXIMIZEBOX) || (style & WS_THICKFRAME));

    EXPECT_EQ(Observe(form_), kIdle);
    EXPECT_EQ(Text(form_.SettingsButton), L"Settings");
    EXPECT_EQ(Text(form_.Button2), L"Start scanning");
    EXPECT_EQ(Text(form_.Button4), L"Stop");
    EXPECT_EQ(Text(form_.QuarantineButton), L"Quarantine...");
    EXPECT_EQ(Text(form_.Button5), L"Exit");
    EXPECT_EQ(Text(form_.ScanObjectLabel), L"Scan progress:");
    EXPECT_EQ(Text(form_.ScanObjectCountLabel), L"0");
    EXPECT_EQ(Text(form_.ScanElapsedTimeLabel), L"0:00:00");
    EXPECT_EQ(Text(form_.Label3), L"2. Press \"Start Scan\" to start scanning and cleaning your system of malware");
    EXPECT_EQ(ProgressOf(form_), 0);
    EXPECT_EQ(ClassOf(form_.ScanProgressBar), L"msctls_progress32");
    EXPECT_EQ(ClassOf(form_.Label9), L"Static");
    EXPECT_EQ(ClassOf(form_.Button5), L"Button");

    RECT button;
    GetWindowRect(form_.Button2, &button);
    MapWindowPoints(nullptr, form_.Handle(), reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(button.left, form_.Scale(89));
    EXPECT_EQ(button.top, form_.Scale(220));
    EXPECT_EQ(button.right - button.left, form_.Scale(115));
    GetWindowRect(form_.QuarantineButton, &button);
    MapWindowPoints(nullptr, form_.Handle(), reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(button.left, form_.Scale(321));
    EXPECT_EQ(button.top, form_.Scale(360));
    EXPECT_EQ(button.right - button.left, form_.Scale(100));
    EXPECT_EQ(button.bottom - button.top, form_.Scale(25));

    std::vector<HWND> tabOrder;
    for (HWND child = GetWindow(form_.Handle(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP)
            tabOrder.push_back(child);
    }
    EXPECT_EQ(tabOrder, (std::vector<HWND>{form_.SettingsButton, form_.Button2, form_.PauseResumeButton,
                            form_.Button4, form_.QuarantineButton, form_.Button5}));
    EXPECT_THAT(CutOffTexts(form_.Handle(), form_.ScanObjectLabel), testing::IsEmpty());
    EXPECT_THAT(OverlappingControls(form_.Handle()), testing::IsEmpty());
    EXPECT_THAT(WrappedLines(form_.Label2), testing::Contains(testing::HasSubstr(L"(Full Scan)")));
}

TEST_F(MainFormTest, TabFollowsTheTabOrderWithTheFocusShown)
{
    SetFocus(form_.SettingsButton);
    PostMessageW(form_.SettingsButton, WM_KEYDOWN, VK_TAB, 0);
    Settle();
    EXPECT_EQ(GetFocus(), form_.Button2);
    PostMessageW(form_.Button2, WM_KEYDOWN, VK_TAB, 0);
    Settle();
    EXPECT_EQ(GetFocus(), form_.QuarantineButton) << "disabled buttons are passed over";
    PostMessageW(form_.QuarantineButton, WM_KEYDOWN, VK_TAB, 0);
    Settle();
    EXPECT_EQ(GetFocus(), form_.Button5);
    EXPECT_EQ(SendMessageW(form_.Button5, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS, 0);
}

TEST_F(MainFormTest, DpiChangeLaysTheWindowOutAgainAtTheNewScale)
{
    const UINT dpi = form_.Dpi() * 3 / 2;
    RECT window;
    GetWindowRect(form_.Handle(), &window);
    RECT suggested{window.left, window.top, window.left + MulDiv(window.right - window.left, 3, 2),
        window.top + MulDiv(window.bottom - window.top, 3, 2)};
    SendMessageW(form_.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Settle();
    EXPECT_EQ(form_.Dpi(), dpi);
    RECT button;
    GetWindowRect(form_.Button4, &button);
    MapWindowPoints(nullptr, form_.Handle(), reinterpret_cast<POINT*>(&button), 2);
    EXPECT_EQ(button.left, MulDiv(347, static_cast<int>(dpi), 96));
    EXPECT_EQ(button.bottom - button.top, MulDiv(30, static_cast<int>(dpi), 96));
    EXPECT_THAT(CutOffTexts(form_.Handle(), form_.ScanObjectLabel), testing::IsEmpty());
    EXPECT_THAT(OverlappingControls(form_.Handle()), testing::IsEmpty());
    EXPECT_THAT(WrappedLines(form_.Label2), testing::Contains(testing::HasSubstr(L"(Full Scan)")));
}

TEST_F(MainFormTest, StartWithoutSignatureFailsAndStaysIdle)
{
    RemoveSignatureFile();
    const auto box = RunExpectingMessageBox([this] { Click(form_.Button2); });
    WriteSignatureFile();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_EQ(box->text, L"Signature loading failed: File not found.");
    EXPECT_FALSE(form_.Scanning());
    EXPECT_EQ(Observe(form_), kIdle);
}

TEST_F(MainFormTest, ScanRunsPausesResumesAndEndsWithTheCompletionMessage)
{
    StartPaused();
    EXPECT_EQ(Observe(form_), kPaused);
    PumpUntil([] { return false; }, 350ms);
    EXPECT_EQ(Observe(form_), kPaused) << "a paused scan goes on existing";

    std::optional<Buttons> behindTheBox;
    std::optional<MessageBoxInfo> box = RunExpectingMessageBox(
        [this] {
            Click(form_.PauseResumeButton);
            Settle();
            EXPECT_EQ(Observe(form_), kRunning);
        },
        20s, [this, &behindTheBox] { behindTheBox = Observe(form_); });
    ASSERT_TRUE(box);
    EXPECT_EQ(behindTheBox, kIdle) << "the buttons show the end of the scan while the message is up";
    EXPECT_EQ(box->text, L"Scanning finished successfully.");
    EXPECT_FALSE(form_.Scanning());
    EXPECT_EQ(Observe(form_), kIdle);
    EXPECT_EQ(ProgressOf(form_), 0);
    EXPECT_EQ(Text(form_.ScanInfectedObjectCountLabel), L"0");
    EXPECT_EQ(Text(form_.ScanPossibleThreatCountLabel), L"0");
}

TEST_F(MainFormTest, AScanShorterThanATickEndsShowingItsOwnFinalFigures)
{
    std::vector<std::wstring> atFirstEnd;
    ASSERT_TRUE(RunExpectingMessageBox([this] { Click(form_.Button2); }, 20s, [&] { atFirstEnd = Figures(); }));
    EXPECT_EQ(atFirstEnd[1], L"301") << "the file list's report and the 300 files";

    TempFolder small;
    for (const wchar_t* name : {L"a.exe", L"b.exe", L"c.exe"})
        WriteTestFile(small.Path() / name, "MZ");
    UseQuickScanSettings({small.Str()});
    std::vector<std::wstring> atSecondEnd;
    const auto box = RunExpectingMessageBox([this] { Click(form_.Button2); }, 20s, [&] { atSecondEnd = Figures(); });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"Scanning finished successfully.");
    ASSERT_EQ(atSecondEnd.size(), 5u);
    EXPECT_TRUE(atSecondEnd[0].starts_with(small.Str()) && atSecondEnd[0].ends_with(L"c.exe"))
        << testing::PrintToString(atSecondEnd[0]);
    EXPECT_EQ(atSecondEnd[1], L"4");
    EXPECT_EQ(atSecondEnd[3], L"0");
    EXPECT_EQ(Figures(), atSecondEnd) << "the labels keep the final figures";
}

TEST_F(MainFormTest, AThreatFoundAtTheLastObjectIsCountedWhenTheMessageShows)
{
    Script script;
    for (int i = 0; i < 40; ++i)
        script.objects.push_back({L"C:\\test\\clean" + std::to_wstring(i) + L".exe", std::nullopt});
    script.objects.push_back({L"C:\\test\\eicar.com", Hit(L"C:\\test\\eicar.com", L"Eicar-Test-Signature")});
    form_.scripts.push_back(script);
    std::vector<std::wstring> atEnd;
    const auto box = RunExpectingMessageBox([this] { Click(form_.Button2); }, 20s, [&] { atEnd = Figures(); });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"Scanning finished successfully.");
    ASSERT_EQ(atEnd.size(), 5u);
    atEnd.erase(atEnd.begin() + 2);
    EXPECT_EQ(atEnd, (std::vector<std::wstring>{L"C:\\test\\eicar.com", L"41", L"1", L"0"}))
        << "object, count, infected, possible threats";
}

TEST_F(MainFormTest, StartShowsZeroAtOnceAndAPausedScanKeepsItsTimeGoing)
{
    Script earlier;
    earlier.objects = {{L"C:\\x.exe", Hit(L"C:\\x.exe", L"X")}, {L"C:\\y.exe", Hit(L"C:\\y.exe", L"Y", TFindingKind::Possible)}};
    earlier.holdOpen = true;
    form_.scripts.push_back(earlier);
    Click(form_.Button2);
    ASSERT_TRUE(PumpUntil([this] { return Text(form_.ScanPossibleThreatCountLabel) == L"1"; }, 10s));
    Click(form_.Button4);
    Settle();
    EXPECT_EQ(Figures()[1], L"2");

    Script waiting;
    waiting.holdOpen = true;
    form_.scripts.push_back(waiting);
    Click(form_.Button2);
    Settle();
    EXPECT_EQ(Figures(), (std::vector<std::wstring>{L"Scan progress:", L"0", L"0:00:00", L"0", L"0"}));
    EXPECT_EQ(ProgressOf(form_), 0);

    Click(form_.PauseResumeButton);
    EXPECT_TRUE(PumpUntil([this] { return Text(form_.ScanElapsedTimeLabel) != L"0:00:00"; }, 5s))
        << "the elapsed time goes on while paused";
    Click(form_.Button4);
    Settle();
    EXPECT_EQ(Observe(form_), kIdle);
    EXPECT_NE(Text(form_.ScanElapsedTimeLabel), L"0:00:00") << "the labels stay after Stop";
}

// A script that finds an infected file and a file it cannot read, then ends, or runs until stopped.
Script FindingScript(bool aHoldOpen)
{
    Script script;
    script.objects = {{L"C:\\test\\eicar.com", Hit(L"C:\\test\\eicar.com", L"Eicar-Test-Signature")},
        {L"C:\\pagefile.sys", Hit(L"C:\\pagefile.sys", L"Access is denied", TFindingKind::NotScanned)},
        {L"C:\\clean.exe", std::nullopt}};
    script.holdOpen = aHoldOpen;
    return script;
}

HWND VisibleResultsWindow()
{
    HWND window = FindWindowW(L"QuorvaneForm", L"Scan results");
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

TEST_F(MainFormTest, FindingsOpenTheResultsWindowOnlyAfterTheEndMessageIsClosed)
{
    struct Case {
        const char* name;
        std::optional<std::wstring> failure;
        const wchar_t* message;
    };
    for (const Case& c : {Case{"completion", std::nullopt, L"Scanning finished successfully."},
             Case{"failure", L"Disk gone", L"Scanning failed: Disk gone."}}) {
        Script script = FindingScript(false);
        script.failure = c.failure;
        form_.scripts.push_back(script);
        HWND whileShown = nullptr;
        const auto box = RunExpectingMessageBox([this] { Click(form_.Button2); }, 20s,
            [&whileShown] { whileShown = VisibleResultsWindow(); });
        ASSERT_TRUE(box) << c.name;
        EXPECT_EQ(box->text, c.message) << c.name;
        EXPECT_EQ(whileShown, nullptr) << c.name << ": no results window while the message is up";

        const TResultsFrm* results = form_.ResultsWindow();
        ASSERT_NE(results, nullptr) << c.name;
        EXPECT_EQ(VisibleResultsWindow(), results->Handle()) << c.name;
        EXPECT_EQ(GetWindow(results->Handle(), GW_OWNER), form_.Handle()) << c.name;
        EXPECT_EQ(ListView_GetItemCount(results->List), 2) << c.name;
        EXPECT_TRUE(Enabled(form_.Handle())) << c.name << ": modeless";
        EXPECT_EQ(Observe(form_), kIdle) << c.name;
    }
}

// The real worker with a database that knows EICAR: the counter and the results name the file.
TEST_F(MainFormTest, EicarInACheckedFolderIsCountedAndListed)
{
    WriteStamped(SignaturePath(), DatabasePayload(EicarLines()));
    const std::filesystem::path eicar = folder_.Path() / L"eicar.com";
    WriteTestFile(eicar, EicarText());
    std::vector<std::wstring> figures;
    const auto box = RunExpectingMessageBox([this] { Click(form_.Button2); }, 30s, [&] { figures = Figures(); });
    WriteSignatureFile();
    ASSERT_TRUE(box);
    EXPECT_EQ(box->text, L"Scanning finished successfully.");
    ASSERT_EQ(figures.size(), 5u);
    EXPECT_EQ(figures[3], L"1");
    EXPECT_EQ(figures[4], L"0");
    const TResultsFrm* results = form_.ResultsWindow();
    ASSERT_NE(results, nullptr);
    ASSERT_EQ(ListView_GetItemCount(results->List), 1);
    wchar_t object[MAX_PATH] = {};
    wchar_t threat[64] = {};
    ListView_GetItemText(results->List, 0, 0, object, MAX_PATH);
    ListView_GetItemText(results->List, 0, 1, threat, 64);
    EXPECT_EQ(std::wstring(object), eicar.wstring());
    EXPECT_EQ(std::wstring(threat), L"Eicar-Test-Signature");
}

TEST_F(MainFormTest, StopWithFindingsOpensTheResultsAtOnceAndStartClosesThem)
{
    form_.scripts.push_back(FindingScript(true));
    Click(form_.Button2);
    ASSERT_TRUE(PumpUntil([this] { return Text(form_.ScanObjectLabel) == L"C:\\clean.exe"; }, 10s));
    EXPECT_EQ(form_.ResultsWindow(), nullptr) << "not while scanning";
    Click(form_.Button4);
    Settle();
    const TResultsFrm* results = form_.ResultsWindow();
    ASSERT_NE(results, nullptr);
    const HWND window = results->Handle();
    EXPECT_EQ(VisibleResultsWindow(), window);
    EXPECT_EQ(Text(form_.ScanInfectedObjectCountLabel), L"1");
    EXPECT_EQ(Observe(form_), kIdle);

    form_.scripts.push_back(FindingScript(true));
    Click(form_.Button2);
    Settle();
    EXPECT_FALSE(IsWindow(window)) << "Start closes the old results";
    EXPECT_EQ(form_.ResultsWindow(), nullptr);
    ASSERT_TRUE(PumpUntil([this] { return Text(form_.ScanObjectLabel) == L"C:\\clean.exe"; }, 10s));
    Click(form_.Button4);
    Settle();
    ASSERT_NE(form_.ResultsWindow(), nullptr) << "the new scan's own results";
}

TEST_F(MainFormTest, WithoutFindingsNoResultsWindowOpens)
{
    const auto box = RunExpectingMessageBox([this] { Click(form_.Button2); });
    ASSERT_TRUE(box);
    EXPECT_EQ(form_.ResultsWindow(), nullptr);
    EXPECT_EQ(VisibleResultsWindow(), nullptr);

    Script clean;
    clean.objects = {{L"C:\\clean.exe", std::nullopt}};
    clean.holdOpen = true;
    form_.scripts.push_back(clean);
    Click(form_.Button2);
    ASSERT_TRUE(PumpUntil([this] { return Text(form_.ScanObjectLabel) == L"C:\\clean.exe"; }, 10s));
    Click(form_.Button4);
    Settle();
    EXPECT_EQ(form_.ResultsWindow(), nullptr);
    EXPECT_EQ(VisibleResultsWindow(), nullptr);
}

// Objects that could not be read open the window as threats do, with the skipped counts under the
// list; the counts alone open nothing.
TEST_F(MainFormTest, NotScannedEntriesOpenTheResultsAndSkippedCountsAloneDoNot)
{
    Script counted;
    counted.objects = {{L"memory...", std::nullopt}, {L"registry", std::nullopt}};
    counted.skipped = {TSkipped::Process, TSkipped::RegisteredFile, TSkipped::Process};
    form_.scripts.push_back(counted);
    ASSERT_TRUE(RunExpectingMessageBox([this] { Click(form_.Button2); }, 20s));
    EXPECT_EQ(form_.ResultsWindow(), nullptr);
    EXPECT_EQ(VisibleResultsWindow(), nullptr);

    Script unread = counted;
    unread.objects.push_back({L"C:\\locked.dll", Hit(L"C:\\locked.dll", L"Sharing violation.", TFindingKind::NotScanned)});
    form_.scripts.push_back(unread);
    ASSERT_TRUE(RunExpectingMessageBox([this] { Click(form_.Button2); }, 20s));
    const TResultsFrm* results = form_.ResultsWindow();
    ASSERT_NE(results, nullptr);
    EXPECT_EQ(ListView_GetItemCount(results->List), 1);
    ASSERT_NE(results->SummaryLabel, nullptr);
    EXPECT_EQ(Text(results->SummaryLabel),
        L"Also skipped: 2 processes whose modules could not be read; 1 registered file that does not exist.");
}

TEST_F(MainFormTest, ClosingTheProgramWithTheResultsOpenClosesBoth)
{
    form_.scripts.push_back(FindingScript(true));
    Click(form_.Button2);
    ASSERT_TRUE(PumpUntil([this] { return Text(form_.ScanObjectLabel) == L"C:\\clean.exe"; }, 10s));
    Click(form_.Button4);
    Settle();
    ASSERT_NE(form_.ResultsWindow(), nullptr);
    const HWND results = form_.ResultsWindow()->Handle();
    Click(form_.Button5);
    EXPECT_TRUE(PumpUntil([this] { return form_.Handle() == nullptr; }, 5s));
    EXPECT_FALSE(IsWindow(results));
    EXPECT_EQ(form_.ResultsWindow(), nullptr);
}

// "Quarantine..." opens the store's window; a Quarantine action of the results window that
// quarantined a file opens it again, or brings it to the front, listing the new item.
TEST_F(MainFormTest, QuarantineOpensItsWindowAndAQuarantinedFindingShowsItThere)
{
    Click(form_.QuarantineButton);
    Settle();
    TQuarantineFrm* window = form_.QuarantineWindow();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window->Handle()));
    EXPECT_EQ(Text(window->Handle()), L"Quarantine");
    EXPECT_EQ(GetWindow(window->Handle(), GW_OWNER), form_.Handle());
    PostMessageW(window->Handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(PumpUntil([this] { return form_.QuarantineWindow() == nullptr; }, 5s));

    TempFolder files;
    const std::filesystem::path file = files.Path() / L"found.com";
    std::ofstream(file, std::ios::binary) << "MZ found";
    const std::wstring path = file.wstring();
    Script script;
    script.objects = {{path, Hit(path, L"Eicar-Test-Signature")}};
    script.holdOpen = true;
    form_.scripts.push_back(script);
    Click(form_.Button2);
    ASSERT_TRUE(PumpUntil([this, &path] { return Text(form_.ScanObjectLabel) == path; }, 10s));
    Click(form_.Button4);
    Settle();
    TResultsFrm* results = form_.ResultsWindow();
    ASSERT_NE(results, nullptr);
    ListView_SetItemState(results->List, 0, LVIS_SELECTED, LVIS_SELECTED);
    Settle();
    Click(results->QuarantineButton);
    ASSERT_TRUE(PumpUntil([this] { return form_.QuarantineWindow() != nullptr; }, 30s));
    window = form_.QuarantineWindow();
    EXPECT_EQ(GetForegroundWindow(), window->Handle());
    std::vector<std::wstring> listed;
    for (const quarantine::Item& item : quarantine::ListItems()) {
        if (std::wstring(item.Header.Path.begin(), item.Header.Path.end()) == path) {
            listed.push_back(item.File);
            quarantine::DeleteItem(item.File);
        }
    }
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_THAT(window->ListedItems(), testing::Contains(listed[0]));
    EXPECT_FALSE(std::filesystem::exists(path));
}

TEST_F(MainFormTest, ClosingIsRefusedWhileScanningAndStopWorksWhilePaused)
{
    StartPaused();
    PumpUntil([] { return false; }, 250ms);
    PostMessageW(form_.Handle(), WM_CLOSE, 0, 0);
    Click(form_.Button5);
    PumpUntil([] { return false; }, 250ms);
    ASSERT_NE(form_.Handle(), nullptr);
    EXPECT_TRUE(form_.Scanning());
    const std::wstring count = Text(form_.ScanObjectCountLabel);

    Click(form_.Button4);
    Settle();
    EXPECT_FALSE(form_.Scanning());
    EXPECT_EQ(Observe(form_), kIdle);
    EXPECT_EQ(ProgressOf(form_), 0);
    EXPECT_EQ(Text(form_.ScanObjectCountLabel), count) << "the labels keep the last values";

    Click(form_.Button5);
    PumpUntil([this] { return form_.Handle() == nullptr; }, 5s);
    EXPECT_EQ(form_.Handle(), nullptr);
}

TEST_F(MainFormTest, EndOfTheWindowsSessionIsNeverHeldUp)
{
    StartPaused();
    EXPECT_EQ(SendMessageW(form_.Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageW(form_.Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_FALSE(form_.Scanning());
    EXPECT_EQ(form_.Handle(), nullptr);
}

TEST_F(MainFormTest, ScanEndedByAnErrorIsReportedAsAFailure)
{
    const std::wstring missing = folder_.Str() + L"\\missing";
    UseQuickScanSettings({missing});
    // Another window of the program is active as the scan ends.
    HWND other = CreateWindowExW(0, L"Static", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    SetActiveWindow(other);
    ASSERT_EQ(GetActiveWindow(), other);
    const auto box = RunExpectingMessageBox([this] { Click(form_.Button2); });
    DestroyWindow(other);
    ASSERT_TRUE(box);
    EXPECT_EQ(box->owner, form_.Handle()) << "the message belongs to the main window";
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_EQ(box->text.rfind(L"Scanning failed: Folder not found: ", 0), 0u) << testing::PrintToString(box->text);
    EXPECT_NE(box->text.find(missing), std::wstring::npos);
    EXPECT_EQ(Observe(form_), kIdle);
}

// The stored "FullScan", or nullopt when it is not stored.
std::optional<DWORD> StoredFullScan()
{
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, L"Software\\Talbrinn\\Quorvane", L"FullScan", RRF_RT_REG_DWORD, nullptr,
            &value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

TEST_F(MainFormTest, SettingsOpensTheOptionsDialogAndStoresOnlyWhatIsSaved)
{
    struct Case {
        const wchar_t* button;
        std::optional<DWORD> stored;
    };
    for (const Case& c : {Case{L"Cancel", std::nullopt}, Case{L"Save options", 0}}) {
        bool sawDialog = false;
        RunWithDriver([this] { Click(form_.SettingsButton); PumpUntil([&] { return false; }, 300ms); Settle(); },
            [&sawDialog, &c] {
                HWND dialog = WaitForForm(L"Quorvane options");
                sawDialog = dialog != nullptr;
                if (dialog)
                    PostMessageW(ChildWithText(dialog, c.button), BM_CLICK, 0, 0);
            });
        PumpUntil([] { return FindWindowW(L"QuorvaneForm", L"Quorvane options") == nullptr; }, 5s);
        const std::string name = testing::PrintToString(std::wstring(c.button));
        EXPECT_TRUE(sawDialog) << name;
        EXPECT_EQ(FindWindowW(L"QuorvaneForm", L"Quorvane options"), nullptr) << name;
        EXPECT_TRUE(Enabled(form_.Handle())) << name << ": the main window is enabled again";
        EXPECT_FALSE(Settings().FullScan()) << name << ": the settings in memory are as shown";
        EXPECT_EQ(StoredFullScan(), c.stored) << name << ": only Save stores them";
        EXPECT_EQ(Observe(form_), kIdle) << name;
    }
}

TEST_F(MainFormTest, SettingsThatCannotBeReadReachTheErrorDisplayAndTheWindowStaysUsable)
{
    ResetSettings();
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Talbrinn\\Quorvane", 0, nullptr, 0, KEY_WRITE, nullptr,
                  &key, nullptr),
        ERROR_SUCCESS);
    const wchar_t text[] = L"true";
    RegSetValueExW(key, L"FullScan", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
    RegCloseKey(key);

    const auto box = RunExpectingMessageBox([this] { Click(form_.SettingsButton); });
    ASSERT_TRUE(box);
    EXPECT_EQ(box->caption, L"Error");
    EXPECT_EQ(box->text, L"Failed to get data for 'FullScan'");
    EXPECT_EQ(FindWindowW(L"QuorvaneForm", L"Quorvane options"), nullptr);
    EXPECT_EQ(Observe(form_), kIdle);
}

} // namespace
