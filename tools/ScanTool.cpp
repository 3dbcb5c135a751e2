// The tool's run: options, paths, the worker, its events as lines, the summary and the exit code.
#include "tools/ScanTool.h"

#include "platform/Error.h"
#include "platform/FileExistence.h"
#include "platform/Utf8.h"
#include "quarantine/Quarantine.h"
#include "scan/ResultsReport.h"
#include "scan/ScanPaths.h"
#include "scan/ScanQueue.h"
#include "scan/ScannerThread.h"
#include "signature/Signature.h"
#include "tools/ScanOutput.h"
#include "tools/ScanToolOptions.h"
#include "tools/ToolHost.h"

#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>
#include <memory>
#include <new>

#ifndef QV_TOOL_VERSION
#define QV_TOOL_VERSION "unknown"
#endif

namespace {

constexpr DWORD kPollMs = 25;
// The status line is rewritten at most 10 times a second.
constexpr ULONGLONG kStatusMs = 100;
constexpr std::size_t kStatusWidth = 79;

class TScanRun {
public:
    TScanRun(const TScanToolOptions& aOptions, TTextOutput& aOut, TTextOutput& aErr)
        : FOptions(aOptions), FOut(aOut), FErr(aErr)
    {
    }

    int Run(const std::atomic<bool>& aStop);

private:
    std::vector<std::wstring> ExistingPaths();
    std::unique_ptr<TScannerThread> MakeWorker(const std::vector<std::wstring>& aPaths);
    void Print(const std::vector<TToolEvent>& aEvents, bool aLast);
    bool Acting() const noexcept { return FOptions.Quarantine || FOptions.Delete; }
    std::wstring Line(const TFinding& aFinding, std::wstring_view aAction) const;
    std::wstring Release();
    std::wstring Act(const TFinding& aFinding);
    void Status(const TScannerThread& aWorker);
    void ClearStatus();
    void WriteReport(const TScannerThread& aWorker);

    const TScanToolOptions& FOptions;
    TTextOutput& FOut;
    TTextOutput& FErr;
    std::unique_ptr<TToolHost> FHost;
    bool FFailed = false;
    std::int64_t FNotScanned = 0;
    bool FStatusShown = false;
    ULONGLONG FStatusTick = 0;
    // Each file on disk is acted on once; its later rows repeat the outcome.
    std::map<std::wstring, std::wstring> FActions;
    std::vector<TFinding> FHeld; // threats of the object being read, waiting for their action
};

std::vector<std::wstring> TScanRun::ExistingPaths()
{
    std::vector<std::wstring> paths;
    for (const std::wstring& path : FOptions.Paths) {
        // A path that is there but cannot be examined (access denied) is scanned and reported.
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && IsMissingPathError(GetLastError())) {
            FErr.Write(path + L": No such file or directory\n");
            FFailed = true;
        } else {
            paths.push_back(path);
        }
    }
    return paths;
}

// The worker with the window's queue of scanners, reporting through the tool's host.
std::unique_ptr<TScannerThread> TScanRun::MakeWorker(const std::vector<std::wstring>& aPaths)
{
    TScanOptions options;
    for (const std::wstring& path : aPaths)
        AddScanPath(options, path);
    options.AllFiles = FOptions.AllFiles;
    options.Archives = FOptions.Archives;
    options.Heuristic = FOptions.Heuristic;
    options.Memory = FOptions.Memory;
    options.Registry = FOptions.Registry;
    options.Database = FOptions.Database;
    // The loader and the heuristic choice run on the worker's thread, after this returns.
    const auto load = [database = options.Database](const std::function<bool()>& aCancelled) {
        return std::make_unique<TSignature>(database, aCancelled);
    };
    const auto queue = [this, &options](TScanHost* aWorker) {
        FHost = std::make_unique<TToolHost>(*aWorker);
        return BuildScanQueue(FHost.get(), options);
    };
    return std::make_unique<TScannerThread>(load, queue, [heuristic = options.Heuristic] { return heuristic; });
}

// Lines for aEvents. A threat to act on waits until an event about another object, or the end
// (aLast), shows that its read is over and its file closed; its line then carries the outcome.
void TScanRun::Print(const std::vector<TToolEvent>& aEvents, bool aLast)
{
    std::wstring text;
    for (const TToolEvent& event : aEvents) {
        if (!FHeld.empty() && FHeld.front().Object != event.Finding.Object)
            text += Release();
        if (event.Ok) {
            if (!FOptions.Quiet && !FOptions.Json)
                text += OkLine(event.Finding.Object) + L"\n";
            continue;
        }
        if (event.Finding.Kind == TFindingKind::NotScanned)
            ++FNotScanned;
        if (IsFailure(event.Finding))
            FFailed = true;
        if (Acting() && event.Finding.Kind != TFindingKind::NotScanned)
            FHeld.push_back(event.Finding);
        else
            text += Line(event.Finding, {});
    }
    if (aLast)
        text += Release();
    if (text.empty())
        return;
    ClearStatus();
    FOut.Write(text);
}

std::wstring TScanRun::Line(const TFinding& aFinding, std::wstring_view aAction) const
{
    return (FOptions.Json ? FindingJson(aFinding, aAction) : FindingLine(aFinding, aAction)) + L"\n";
}

// The held threats' lines, each after its action.
std::wstring TScanRun::Release()
{
    std::wstring text;
    for (const TFinding& finding : FHeld)
        text += Line(finding, Act(finding));
    FHeld.clear();
    return text;
}

// The report's Action cell for a line's outcome text, as the results window writes it.
std::wstring ReportAction(const std::wstring& aOutcome)
{
    if (aOutcome == L"quarantined")
        return L"Quarantined";
    if (aOutcome == L"deleted")
        return L"Deleted";
    constexpr std::wstring_view kFailed = L"action failed: ";
    return L"Failed: " + aOutcome.substr(kFailed.size());
}

// Quarantines or deletes the file on disk behind a threat (an archive member's archive) and gives
// the outcome's text for its line.
std::wstring TScanRun::Act(const TFinding& aFinding)
{
    const std::wstring file = aFinding.Object.substr(0, aFinding.Object.find(L"->"));
    if (const auto known = FActions.find(file); known != FActions.end())
        return known->second;
    const vault::ThreatKind kind =
        aFinding.Kind == TFindingKind::Infected ? vault::ThreatKind::Infected : vault::ThreatKind::PossibleThreat;
    const quarantine::Outcome outcome = FOptions.Quarantine
                                            ? quarantine::QuarantineFile(file, aFinding.Threat, kind)
                                            : quarantine::DeleteFinding(file);
    std::wstring text = outcome.Succeeded ? std::wstring(FOptions.Quarantine ? L"quarantined" : L"deleted")
                                          : L"action failed: " + outcome.Message;
    FActions.emplace(file, text);
    return text;
}

void TScanRun::Status(const TScannerThread& aWorker)
{
    const ULONGLONG now = GetTickCount64();
    if (!FErr.IsConsole() || now - FStatusTick < kStatusMs)
        return;
    FStatusTick = now;
    const TScanInfo info = aWorker.GetScanInfo();
    std::wstring line = std::to_wstring(info.TotalCount) + L" scanned, " + std::to_wstring(info.InfectedCount) +
                        L" infected: " + info.ObjectName;
    if (line.size() > kStatusWidth)
        line = line.substr(0, kStatusWidth - 3) + L"...";
    line.resize(kStatusWidth, L' ');
    FErr.Write(L"\r" + line + L"\r");
    FStatusShown = true;
}

void TScanRun::ClearStatus()
{
    if (!FStatusShown)
        return;
    FErr.Write(L"\r" + std::wstring(kStatusWidth, L' ') + L"\r");
    FStatusShown = false;
}

void TScanRun::WriteReport(const TScannerThread& aWorker)
{
    const std::vector<TFinding> findings = aWorker.FindingsFrom(0);
    std::vector<TFinding> rows;
    std::vector<std::wstring> actions;
    for (const std::size_t index : ScanOrderRows(findings)) {
        rows.push_back(findings[index]);
        const auto action = FActions.find(findings[index].Object.substr(0, findings[index].Object.find(L"->")));
        actions.push_back(action != FActions.end() && findings[index].Kind != TFindingKind::NotScanned
                              ? ReportAction(action->second)
                              : std::wstring());
    }
    const std::string csv = CsvReport(rows, actions);
    std::ofstream file(std::filesystem::path(FOptions.Report), std::ios::binary | std::ios::trunc);
    file.write(csv.data(), static_cast<std::streamsize>(csv.size()));
    file.close();
    if (!file) {
        FErr.Write(L"quorvane-scan: cannot write the report " + FOptions.Report + L"\n");
        FFailed = true;
    }
}

int TScanRun::Run(const std::atomic<bool>& aStop)
{
    std::unique_ptr<TScannerThread> worker = MakeWorker(ExistingPaths());
    worker->StartThread();
    bool stopped = false;
    while (!worker->Finished()) {
        if (aStop && !stopped) {
            worker->StopThread();
            stopped = true;
            break;
        }
        Sleep(kPollMs);
        Print(FHost->TakeEvents(false), false);
        Status(*worker);
    }
    Print(FHost->TakeEvents(!stopped), true);
    ClearStatus();
    // Without a database nothing was scanned: the error alone, as for a bad option.
    if (worker->LoadFailed()) {
        FErr.Write(L"quorvane-scan: " + worker->FailureMessage().value_or(std::wstring()) + L"\n");
        return static_cast<int>(TScanExit::Error);
    }
    if (const std::optional<std::wstring> failure = worker->FailureMessage(); failure && !stopped) {
        FErr.Write(L"quorvane-scan: " + *failure + L"\n");
        FFailed = true;
    }
    if (!FOptions.Report.empty())
        WriteReport(*worker);
    const TScanInfo info = worker->GetScanInfo();
    TScanTotals totals;
    totals.Scanned = info.TotalCount;
    totals.Infected = info.InfectedCount;
    totals.Possible = info.PossibleCount;
    totals.NotScanned = FNotScanned;
    totals.Milliseconds = GetTickCount64() - info.StartTickCount;
    totals.Stopped = stopped;
    FOut.Write(FOptions.Json ? SummaryJson(totals) + L"\n" : SummaryText(totals));
    return static_cast<int>(ScanExitCode(totals, FFailed || stopped));
}

int Run(const std::vector<std::wstring>& aArguments, TTextOutput& aOut, TTextOutput& aErr,
    const std::atomic<bool>& aStop)
{
    const TScanToolParse parse = ParseScanToolArguments(aArguments);
    if (parse.Error) {
        aErr.Write(L"quorvane-scan: " + *parse.Error + L"\n" + FromUtf8(kScanToolUsage));
        return static_cast<int>(TScanExit::Error);
    }
    if (parse.Options.Help) {
        aOut.Write(FromUtf8(kScanToolUsage));
        return 0;
    }
    if (parse.Options.Version) {
        aOut.Write(L"quorvane-scan " + FromUtf8(QV_TOOL_VERSION) + L"\n");
        return 0;
    }
    // A quarantine cut short by a crash leaves a temporary item; its original is intact.
    quarantine::RemoveTemporaryItems();
    TScanRun run(parse.Options, aOut, aErr);
    return run.Run(aStop);
}

} // namespace

int RunScanTool(const std::vector<std::wstring>& aArguments, TTextOutput& aOut, TTextOutput& aErr,
    const std::atomic<bool>& aStop)
{
    try {
        return Run(aArguments, aOut, aErr, aStop);
    } catch (const AppError& error) {
        aErr.Write(L"quorvane-scan: " + error.Message() + L"\n");
    } catch (const std::bad_alloc&) {
        aErr.Write(L"quorvane-scan: " + SystemErrorText(ERROR_NOT_ENOUGH_MEMORY) + L"\n");
    } catch (...) {
        aErr.Write(L"quorvane-scan: unexpected error\n");
    }
    return static_cast<int>(TScanExit::Error);
}
