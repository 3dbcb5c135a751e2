// The real scan engine under measure: the worker with the file scanner only, on one root.
//   bench_engine sig            worker creation (loads and checks signature.dat beside the program)
//   bench_engine scan ROOT      list building and the whole file scan, with memory at each report
//   bench_engine stop ROOT      time to release the worker while it walks the tree
#include "bench/BenchClock.h"

#include "platform/Error.h"
#include "scan/ScanHost.h"
#include "scan/ScanQueue.h"
#include "scan/ScannerThread.h"
#include "settings/Settings.h"
#include "signature/Signature.h"
#include "tests/support/QuickScan.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <memory>
#include <string>

namespace {

// Between the scanners and the public worker's own parts: notes the time and memory of the
// first two reports and passes every call on to the worker.
class BenchHost : public TScanHost {
public:
    std::unique_ptr<TScannerThread> StartWorker()
    {
        auto worker = std::make_unique<TScannerThread>([] { return std::make_unique<TSignature>(); },
            [this](TScanHost* aWorker) {
                worker_ = aWorker;
                return BuildScanQueue(this);
            });
        worker->StartThread();
        return worker;
    }

    void SetScanInfo(const std::wstring& aObjectName, std::uint8_t aProgress) override
    {
        const long long report = reports++;
        if (report == 0) {
            building = SampleMemory();
            buildingMs = NowMs();
        } else if (report == 1) {
            listedMs = NowMs();
            listed = SampleMemory();
        }
        if (report > 0)
            pathChars += aObjectName.size();
        worker_->SetScanInfo(aObjectName, aProgress);
    }
    void AddFinding(TFinding aFinding) override { worker_->AddFinding(std::move(aFinding)); }
    bool Terminated() const noexcept override { return worker_->Terminated(); }
    TObjectInspector* Inspector() noexcept override { return worker_->Inspector(); }

    std::atomic<long long> reports{0};
    long long pathChars = 0;
    double buildingMs = 0;
    double listedMs = 0;
    MemorySample building;
    MemorySample listed;

private:
    TScanHost* worker_ = nullptr;
};

void WaitFinished(const TScannerThread& aWorker)
{
    while (!aWorker.Finished())
        Sleep(1);
}

int Signature()
{
    UseQuickScanSettings({});
    const double start = NowMs();
    BenchHost host;
    auto worker = host.StartWorker();
    Print("engine_sig_ms", NowMs() - start);
    WaitFinished(*worker);
    return 0;
}

int Scan(const wchar_t* aRoot)
{
    UseQuickScanSettings({aRoot});
    BenchHost host;
    auto worker = host.StartWorker();
    WaitFinished(*worker);
    const double endMs = NowMs();
    if (worker->FailureMessage()) {
        std::fwprintf(stderr, L"scan failed: %ls\n", worker->FailureMessage()->c_str());
        return 1;
    }
    const double files = static_cast<double>(host.reports - 1);
    const double textBytes = static_cast<double>(host.pathChars) * sizeof(wchar_t);
    Print("engine_files", files);
    Print("engine_path_chars_avg", static_cast<double>(host.pathChars) / files);
    Print("engine_list_ms", host.listedMs - host.buildingMs);
    Print("engine_scan_ms", endMs - host.buildingMs);
    Print("engine_list_bytes_per_file", (host.listed.workingSet - host.building.workingSet - textBytes) / files);
    Print("engine_peak_bytes_per_file", (host.listed.peakWorkingSet - host.building.workingSet) / files);
    Print("engine_peak_set_by_list", host.listed.peakWorkingSet > host.building.peakWorkingSet ? 1 : 0);
    Print("engine_process_peak_mib", SampleMemory().peakWorkingSet / 1048576.0);
    return 0;
}

int Stop(const wchar_t* aRoot)
{
    UseQuickScanSettings({aRoot});
    double worst = 0;
    for (int run = 0; run < 5; ++run) {
        BenchHost host;
        auto worker = host.StartWorker();
        while (host.reports == 0)
            Sleep(1);
        Sleep(150 + 100 * run);
        if (host.reports != 1) {
            std::fprintf(stderr, "the walk ended before the release\n");
            return 1;
        }
        const double start = NowMs();
        worker.reset();
        worst = std::max(worst, NowMs() - start);
    }
    Print("engine_stop_ms_worst", worst);
    return 0;
}

}

int wmain(int argc, wchar_t** argv)
{
    try {
        const std::wstring mode = argc > 1 ? argv[1] : L"";
        if (mode == L"sig")
            return Signature();
        if (mode == L"scan" && argc > 2)
            return Scan(argv[2]);
        if (mode == L"stop" && argc > 2)
            return Stop(argv[2]);
        std::fprintf(stderr, "usage: bench_engine sig | scan ROOT | stop ROOT\n");
        return 2;
    } catch (const AppError& error) {
        std::fwprintf(stderr, L"%ls\n", error.Message().c_str());
        return 1;
    }
}
