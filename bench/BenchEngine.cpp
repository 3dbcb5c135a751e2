// The real scan engine under measure: the worker with the file scanner only, on one root.
// SIGNATURE is the signature file to load; without it, signature.dat beside the program.
//   bench_engine sig [SIGNATURE]         worker creation, and the load (read, check, compile) on its thread
//   bench_engine sigstop [SIGNATURE]     time to release the worker while it loads, the longest gap
//                                        between two of the load's questions whether to stop
//   bench_engine scan ROOT [SIGNATURE]   list building, reading and the whole file scan, with memory
//   bench_engine stop ROOT               time to release the worker while it walks the tree
//   bench_engine qdb                     the .qdb files beside the program: mapping, index set-up
//                                        and trailer check, each timed alone, with the commit they add
#include "bench/BenchClock.h"

#include "platform/Error.h"
#include "scan/ScanHost.h"
#include "scan/ScanQueue.h"
#include "scan/ScannerThread.h"
#include "settings/Settings.h"
#include "signature/QdbFile.h"
#include "signature/Signature.h"
#include "signature/SignatureFolder.h"
#include "tests/support/QuickScan.h"

#include "detect/Database.h"
#include "detect/PayloadReader.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cwchar>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// The calling thread's processor time, user and kernel, in ms.
double ThreadCpuMs()
{
    FILETIME creation, exit, kernel, user;
    GetThreadTimes(GetCurrentThread(), &creation, &exit, &kernel, &user);
    const auto ms = [](const FILETIME& aTime) {
        return static_cast<double>(static_cast<ULONGLONG>(aTime.dwHighDateTime) << 32 | aTime.dwLowDateTime) / 10000.0;
    };
    return ms(kernel) + ms(user);
}

// Between the scanners and the public worker's own parts: notes the time and memory of the
// first two reports and passes every call on to the worker.
class BenchHost : public TScanHost {
public:
    // aSignature empty: signature.dat beside the program. The load notes when it ends and the
    // longest gap between its questions whether to stop.
    std::unique_ptr<TScannerThread> StartWorker(const std::wstring& aSignature = {})
    {
        auto worker = std::make_unique<TScannerThread>(
            [this, aSignature](const std::function<bool()>& aWorkerCancelled) {
                lastPollMs = NowMs();
                double lastCpuMs = ThreadCpuMs();
                auto loaded = std::make_unique<TSignature>(aSignature, [&] {
                    const double now = NowMs();
                    const double cpu = ThreadCpuMs();
                    longestPollGapMs = std::max(longestPollGapMs.load(), now - lastPollMs);
                    longestPollCpuGapMs = std::max(longestPollCpuGapMs.load(), cpu - lastCpuMs);
                    lastPollMs = now;
                    lastCpuMs = cpu;
                    ++polls;
                    return aWorkerCancelled();
                });
                loadedMs = NowMs();
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
    std::atomic<double> loadedMs{0};
    std::atomic<double> lastPollMs{0};
    std::atomic<double> longestPollGapMs{0};
    // The same in the loading thread's processor time, which a busy machine does not stretch.
    std::atomic<double> longestPollCpuGapMs{0};
    std::atomic<long long> polls{0};
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
    Print("engine_sig_create_ms", NowMs() - start);
    WaitFinished(*worker);
    if (worker->LoadFailed()) {
        std::fwprintf(stderr, L"%ls\n", worker->FailureMessage()->c_str());
        return 1;
    }
    Print("engine_sig_ms", host.loadedMs - start);
    Print("engine_sig_poll_gap_ms", host.longestPollGapMs);
    const MemorySample after = SampleMemory();
    Print("engine_sig_growth_beyond_payload", after.workingSet - before.workingSet -
        static_cast<double>(host.signature->Data().size()));
    Print("engine_sig_workingset_growth", after.workingSet - before.workingSet);
    Print("engine_sig_pagefile_growth", after.pagefileUsage - before.pagefileUsage);
    PrintDatabase(*host.signature);
    return 0;
}

// Releases a worker at 10 moments spread over its load (measured first), and reports the worst
// release time and the longest gap between the load's questions in a full load.
int SignatureStop(const std::wstring& aSignature)
{
    UseQuickScanSettings({});
    double loadMs = 0;
    {
        BenchHost host;
        const double start = NowMs();
        auto worker = host.StartWorker(aSignature);
        WaitFinished(*worker);
        loadMs = host.loadedMs - start;
        Print("engine_sigstop_load_ms", loadMs);
        Print("engine_sigstop_poll_gap_ms", host.longestPollGapMs);
        Print("engine_sigstop_poll_gap_cpu_ms", host.longestPollCpuGapMs);
    }
    double worst = 0;
    int stopped = 0;
    for (int run = 0; run < 10; ++run) {
        BenchHost host;
        auto worker = host.StartWorker(aSignature);
        Sleep(static_cast<DWORD>(loadMs * (run + 0.5) / 10));
        const double start = NowMs();
        worker->StopThread();
        const double stopMs = NowMs() - start;
        // A load that ended before the release says nothing about stopping one.
        if (host.loadedMs > 0)
            continue;
        ++stopped;
        worst = std::max(worst, stopMs);
    }
    Print("engine_sigstop_stops", stopped);
    Print("engine_sigstop_ms_worst", worst);
    return 0;
}

// The steps of a .qdb load one at a time: every file mapped, the hash tables and names set up
// (LoadDatabases over the views, the body signatures compiled), then every trailer checked.
int QdbPhases()
{
    const TSignatureFolder folder = TSignatureFolder::BesideProgram();
    if (folder.Names().empty()) {
        std::fprintf(stderr, "no .qdb file in the signatures folder\n");
        return 1;
    }
    detect::CancelPoll poll;
    const MemorySample before = SampleMemory();
    double start = NowMs();
    std::vector<TQdbFile> files;
    files.reserve(folder.Names().size());
    for (const std::wstring& name : folder.Names())
        files.emplace_back(folder.PathOf(name));
    Print("qdb_map_ms", NowMs() - start);
    std::vector<detect::PayloadView> payloads;
    double bytes = 0;
    for (const TQdbFile& file : files) {
        payloads.push_back({file.Payload(), file.PayloadLength()});
        bytes += static_cast<double>(file.FileSize());
    }
    start = NowMs();
    const std::unique_ptr<const detect::Database> database = detect::LoadDatabases(payloads, poll);
    Print("qdb_index_ms", NowMs() - start);
    const MemorySample loaded = SampleMemory();
    start = NowMs();
    for (const TQdbFile& file : files)
        file.VerifyTrailer(poll);
    Print("qdb_trailer_ms", NowMs() - start);
    Print("qdb_files", static_cast<double>(files.size()));
    Print("qdb_bytes", bytes);
    Print("qdb_pagefile_growth", loaded.pagefileUsage - before.pagefileUsage);
    const detect::CompiledMemory memory = database->Memory();
    Print("qdb_compiled_hash_bytes", static_cast<double>(memory.Hash));
    Print("qdb_compiled_body_bytes", static_cast<double>(memory.Body));
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
        if (mode == L"sigstop" && argc <= 3)
            return SignatureStop(argc > 2 ? argv[2] : L"");
        if (mode == L"scan" && (argc == 3 || argc == 4))
            return Scan(argv[2], argc > 3 ? argv[3] : L"");
        if (mode == L"stop" && argc == 3)
            return Stop(argv[2]);
        if (mode == L"qdb" && argc == 2)
            return QdbPhases();
        std::fprintf(stderr, "usage: bench_engine sig [SIGNATURE] | sigstop [SIGNATURE] | scan ROOT [SIGNATURE] | stop ROOT | qdb\n");
        return 2;
    } catch (const AppError& error) {
        std::fwprintf(stderr, L"%ls\n", error.Message().c_str());
        return 1;
    } catch (const detect::Error& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}
