// The tool's run: options, paths, the worker, its events as lines, the summary and the exit code.
#include "tools/ScanTool.h"

#include "platform/Error.h"
#include "platform/FileExistence.h"
#include "platform/Utf8.h"
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
    void Print(const std::vector<TToolEvent>& aEvents);
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
    const auto load = [&options]() -> std::unique_ptr<TSignature> {
        if (options.Database.empty())
            return std::make_unique<TSignature>();
        return std::make_unique<TSignature>(options.Database);
    };
    const auto queue = [this, &options](TScanHost* aWorker) {
        FHost = std::make_unique<TToolHost>(*aWorker);
        return BuildScanQueue(FHost.get(), options);
    };
    return std::make_unique<TScannerThread>(load, queue, [&options] { return options.Heuristic; });
}

void TScanRun::Print(const std::vector<TToolEvent>& aEvents)
{
    std::wstring text;
    for (const TToolEvent& event : aEvents) {
        if (event.Ok) {
            if (!FOptions.Quiet && !FOptions.Json)
                text += OkLine(event.Finding.Object) + L"\n";
            continue;
        }
        if (event.Finding.Kind == TFindingKind::NotScanned)
            ++FNotScanned;
        if (IsFailure(event.Finding))
            FFailed = true;
        text += (FOptions.Json ? FindingJson(event.Finding) : FindingLine(event.Finding)) + L"\n";
    }
    if (text.empty())
        return;
    ClearStatus();
    FOut.Write(text);
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
    for (const std::size_t index : ScanOrderRows(findings))
        rows.push_back(findings[index]);
    const std::string csv = CsvReport(rows);
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
        Print(FHost->TakeEvents(false));
        Status(*worker);
    }
    Print(FHost->TakeEvents(!stopped));
    ClearStatus();
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
    if (parse.Options.Quarantine || parse.Options.Delete) {
        aErr.Write(L"quorvane-scan: --quarantine and --delete are not available in this build\n");
        return static_cast<int>(TScanExit::Error);
    }
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
