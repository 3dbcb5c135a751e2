// File scanner: walk every root, gather the accepted paths, sort them once, read them one per step.
#include "scan/FileScanner.h"

#include "scan/FileExtensions.h"
#include "scan/FolderWalk.h"
#include "scan/ScanHost.h"
#include "scan/ScanRoot.h"
#include "platform/Error.h"
#include "platform/TextCompare.h"
#include "text/PathText.h"

#include <algorithm>

TFileScanner::TFileScanner(TScanHost* aScannerThread, const TScanOptions& aOptions)
    : TListScanner(aScannerThread), FFolders(aOptions.Folders), FFiles(aOptions.Files),
      FFileExtensions(aOptions.AllFiles ? std::vector<std::wstring>{} : MakeFileExtensions(aOptions.Archives)),
      FArchives(aOptions.Archives)
{
}

TFileScanner::~TFileScanner() = default;

std::size_t TFileScanner::BuildList()
{
    BuildFileList();
    return FFileList.Size();
}

void TFileScanner::BuildFileList()
{
    FScannerThread->SetScanInfo(L"building file list...", 0);
    FFileList.Clear();
    FRoots.clear();
    FFailedFolders.clear();
    for (const std::wstring& root : FFolders) {
        if (!BuildFolder(root)) {
            FFileList.Clear();
            return;
        }
    }
    for (const std::wstring& file : FFiles)
        AddNamedFile(file);
    FFileList.Merge();
    FFileList.Seal();
}

// Gathers the accepted files under aRoot into the list; false when termination was requested.
bool TFileScanner::BuildFolder(const std::wstring& aRoot)
{
    FRoots.push_back({aRoot, CheckScanRoot(aRoot)});
    const auto tag = static_cast<std::uint32_t>(FRoots.size() - 1);
    FolderWalk walk(
        FFileExtensions, [this] { return FScannerThread->Terminated(); },
        [this, tag](std::wstring_view aPath) { FFileList.Gather(aPath, tag); },
        [this](std::wstring_view aFolder, DWORD aCode) { FolderFailed(aFolder, aCode); });
    if (!walk.Walk(FRoots.back().shown, FRoots.back().system))
        return false;
    FFileList.Merge();
    return true;
}

// A named file is its own root: listed as given, read at its full path.
void TFileScanner::AddNamedFile(const std::wstring& aFile)
{
    FRoots.push_back({aFile, ScanFileSystemPath(aFile)});
    FFileList.Gather(aFile, static_cast<std::uint32_t>(FRoots.size() - 1));
}

void TFileScanner::FolderFailed(std::wstring_view aFolder, DWORD aCode)
{
    if (FScannerThread->Terminated() || !FFailedFolders.emplace(aFolder).second)
        return;
    TFinding finding;
    finding.Object = aFolder;
    finding.Threat = SystemMessage(aCode);
    finding.Kind = TFindingKind::NotScanned;
    finding.ErrorCode = aCode;
    FScannerThread->AddFinding(std::move(finding));
}

bool TFileScanner::ForUserLess::operator()(const std::wstring& aLeft, const std::wstring& aRight) const
{
    return CompareForUser(aLeft, aRight) < 0;
}

void TFileScanner::ScanEntry(std::size_t aIndex, std::uint8_t aPercentage)
{
    const std::wstring path(FFileList[aIndex]);
    FScannerThread->SetScanInfo(path, aPercentage);
    const Root& root = FRoots[FFileList.Tag(aIndex)];
    ScanObject(path, RebasePath(path, root.shown, root.system), TSkipped::VanishedFile);
}
