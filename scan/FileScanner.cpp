// File scanner: walk every root, gather the accepted paths, sort them once, read them one per step.
#include "scan/FileScanner.h"

#include "scan/FileExtensions.h"
#include "scan/FolderWalk.h"
#include "scan/FoldersToScan.h"
#include "scan/ScanHost.h"
#include "scan/ScanRoot.h"
#include "settings/Settings.h"

TFileScanner::TFileScanner(TScanHost* aScannerThread)
    : TScanner(aScannerThread), FFileExtensions(MakeFileExtensions(Settings().ArchiveScan()))
{
}

TFileScanner::~TFileScanner() = default;

bool TFileScanner::ScanNext()
{
    return StepThroughList(FCurrent, [this] { First(); }, [this] { Next(); }, [this] { ScanCurrent(); });
}

void TFileScanner::BuildFileList()
{
    FScannerThread->SetScanInfo(L"building file list...", 0);
    FFileList.Clear();
    for (const std::wstring& root : GetFoldersToScan()) {
        if (!BuildFolder(root)) {
            FFileList.Clear();
            return;
        }
    }
    FFileList.Seal();
}

// Gathers the accepted files under aRoot into the list; false when termination was requested.
bool TFileScanner::BuildFolder(const std::wstring& aRoot)
{
    CheckScanRoot(aRoot);
    FolderWalk walk(
        FFileExtensions, [this] { return FScannerThread->Terminated(); },
        [this](std::wstring_view aPath) { FFileList.Gather(aPath); });
    if (!walk.Walk(aRoot))
        return false;
    FFileList.Merge();
    return true;
}

void TFileScanner::First()
{
    BuildFileList();
    FCurrent = FFileList.Empty() ? -1 : 0;
}

void TFileScanner::Next()
{
    NextEntry(FCurrent, FFileList.Size());
}

void TFileScanner::ScanCurrent()
{
    const std::wstring path(FFileList[static_cast<std::size_t>(FCurrent)]);
    FScannerThread->SetScanInfo(path, Percentage(FCurrent, FFileList.Size()));
    ScanFile(path);
}
