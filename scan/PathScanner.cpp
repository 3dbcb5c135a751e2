// The named files and folders, walked and read one per step.
#include "scan/PathScanner.h"

#include "platform/Error.h"
#include "scan/FileExtensions.h"
#include "scan/FolderWalk.h"
#include "scan/ScanHost.h"
#include "scan/ScanRoot.h"
#include "text/PathText.h"

TPathScanner::TPathScanner(TScanHost* aHost, std::vector<std::wstring> aPaths, bool aAllFiles, bool aArchives)
    : TScanner(aHost), FPaths(std::move(aPaths))
{
    // An empty list lets the walk take every file.
    if (!aAllFiles)
        FExtensions = MakeFileExtensions(aArchives);
}

TPathScanner::~TPathScanner() = default;

bool TPathScanner::ScanNext()
{
    if (FCurrent == -1) {
        FScannerThread->SetScanInfo(L"building file list...", 0);
        if (!BuildList() || FList.empty())
            return false;
        FCurrent = 0;
    } else if (++FCurrent >= static_cast<std::int32_t>(FList.size())) {
        return false;
    }
    const Entry& entry = FList[static_cast<std::size_t>(FCurrent)];
    FScannerThread->SetScanInfo(entry.shown, Percentage(FCurrent, FList.size()));
    ScanObject(entry.shown, entry.system, TSkipped::VanishedFile);
    return true;
}

bool TPathScanner::BuildList()
{
    for (const std::wstring& path : FPaths) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            if (!AddFolder(path))
                return false;
        } else {
            FList.push_back({path, path});
        }
    }
    return true;
}

bool TPathScanner::AddFolder(const std::wstring& aFolder)
{
    const std::wstring system = CheckScanRoot(aFolder);
    SortedPathList list;
    FolderWalk walk(
        FExtensions, [this] { return FScannerThread->Terminated(); },
        [&list](std::wstring_view aPath) { list.Gather(aPath); },
        [this](std::wstring_view aPath, DWORD aCode) {
            TFinding finding;
            finding.Object = aPath;
            finding.Threat = SystemMessage(aCode);
            finding.Kind = TFindingKind::NotScanned;
            finding.ErrorCode = aCode;
            FScannerThread->AddFinding(std::move(finding));
        });
    if (!walk.Walk(aFolder, system))
        return false;
    list.Merge();
    for (std::size_t i = 0; i < list.Size(); ++i) {
        std::wstring shown(list[i]);
        std::wstring resolved = RebasePath(shown, aFolder, system);
        FList.push_back({std::move(shown), std::move(resolved)});
    }
    return true;
}
