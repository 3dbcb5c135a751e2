// The real scan engine under measure: the worker with the file scanner only, on one root.
// SIGNATURE is the signature file to load; without it, signature.dat beside the program.
//   bench_engine sig [SIGNATURE]         worker creation (loads, checks and compiles the signature)
//   bench_engine scan ROOT [SIGNATURE]   list building, reading and the whole file scan, with memory
//   bench_engine stop ROOT               time to release the worker while it walks the tree
#include "bench/BenchClock.h"

#include "platform/Error.h"
#include "scan/ScanHost.h"
#include "scan/ScanQueue.h"
#include "scan/ScannerThread.h"
#include "settings/Settings.h"
#include "signature/Signature.h"
#include "tests/support/QuickScan.h"

#include "detect/Database.h"

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
    // aSignature empty: signature.dat beside the program.
    std::unique_ptr<TScannerThread> StartWorker(const std::wstring& aSignature = {})
    {
        auto worker = std::make_unique<TScannerThread>(
            [this, aSignature] {
                auto loaded = aSignature.empty() ? std::make_unique<TSignature>() : std::make_unique<TSignature>(aSignature);
                signature = loaded.get();
                return loaded;
            },
            [this](TScanHost* aWorker) {
                worker_ = aWorker;
                return BuildScanQueue(this, ScanOptionsFromSettings(Settings()));
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

    // Owned by the worker, valid while it lives.
    const TSignature* signature = nullptr;
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

// The compiled database's counts and the memory it holds beyond the payload, per kind.
void PrintDatabase(const TSignature& aSignature)
{
    const detect::Database* database = aSignature.Database();
    if (database == nullptr)
        return;
    const detect::SignatureCounts counts = database->Counts();
    const detect::CompiledMemory memory = database->Memory();
    Print("engine_db_payload_bytes", static_cast<double>(aSignature.Data().size()));
    Print("engine_db_hash_count", static_cast<double>(counts.Md5 + counts.Sha1 + counts.Sha256));
    Print("engine_db_body_count", static_cast<double>(counts.Body));
    Print("engine_db_hash_bytes", static_cast<double>(memory.Hash));
    Print("engine_db_body_bytes", static_cast<double>(memory.Body));
}

int Signature(const std::wstring& aSignature)
{
    UseQuickScanSettings({});
    const MemorySample before = SampleMemory();
    const double start = NowMs();
    BenchHost host;
    auto worker = host.StartWorker(aSignature);
    Print("engine_sig_ms", NowMs() - start);
    WaitFinished(*worker);
    const MemorySample after = SampleMemory();
    Print("engine_sig_growth_beyond_payload", after.workingSet - before.workingSet -
        static_cast<double>(host.signature->Data().size()));
    PrintDatabase(*host.signature);
    return 0;
}

int Scan(const wchar_t* aRoot, const std::wstring& aSignature)
{
    UseQuickScanSettings({aRoot});
    BenchHost host;
    auto worker = host.StartWorker(aSignature);
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
    Print("engine_read_ms", endMs - host.listedMs);
    Print("engine_scan_ms", endMs - host.buildingMs);
    Print("engine_findings", static_cast<double>(worker->FindingsFrom(0).size()));
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
        if (mode == L"sig" && argc <= 3)
            return Signature(argc > 2 ? argv[2] : L"");
        if (mode == L"scan" && (argc == 3 || argc == 4))
            return Scan(argv[2], argc > 3 ? argv[3] : L"");
        if (mode == L"stop" && argc == 3)
            return Stop(argv[2]);
        std::fprintf(stderr, "usage: bench_engine sig [SIGNATURE] | scan ROOT [SIGNATURE] | stop ROOT\n");
        return 2;
    } catch (const AppError& error) {
        std::fwprintf(stderr, L"%ls\n", error.Message().c_str());
        return 1;
    }
}
