// Iterative depth-first walk: one open search per level, two path buffers (the system's form and
// the shown one) extended and cut back together.
#include "scan/FolderWalk.h"

#include "platform/Error.h"
#include "scan/FileExtensions.h"

#include <algorithm>

namespace {

bool NeedsSeparator(std::wstring_view aFolder) noexcept
{
    return !aFolder.empty() && aFolder.back() != L'\\' && aFolder.back() != L'/' && aFolder.back() != L':';
}

void Append(std::wstring& aPath, std::wstring_view aName)
{
    if (NeedsSeparator(aPath))
        aPath += L'\\';
    aPath += aName;
}

bool IsDotEntry(const wchar_t* aName) noexcept
{
    return aName[0] == L'.' && (aName[1] == L'\0' || (aName[1] == L'.' && aName[2] == L'\0'));
}

// A folder that vanished since it was listed is not a failure to search it.
bool MeansGone(DWORD aCode) noexcept
{
    return aCode == ERROR_FILE_NOT_FOUND || aCode == ERROR_PATH_NOT_FOUND;
}

}

FolderWalk::FolderWalk(const std::vector<std::wstring>& aExtensions, StopQuery aStop, FileSink aSink,
    FailureSink aFailure)
    : extensions_(aExtensions), stop_(std::move(aStop)), sink_(std::move(aSink)), failure_(std::move(aFailure))
{
}

std::wstring FolderWalk::Join(std::wstring_view aFolder, std::wstring_view aName)
{
    std::wstring path(aFolder);
    Append(path, aName);
    return path;
}

bool FolderWalk::Walk(const std::wstring& aRoot, const std::wstring& aSystemRoot)
{
    levels_.clear();
    path_ = aSystemRoot;
    shown_ = aRoot;
    bool haveEntry = Enter();
    while (!levels_.empty()) {
        if (stop_()) {
            levels_.clear();
            return false;
        }
        if (!haveEntry) {
            levels_.pop_back();
            haveEntry = NextEntry();
            continue;
        }
        const std::wstring_view name(data_.cFileName);
        const bool isFolder = (data_.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        if (isFolder && !IsDotEntry(data_.cFileName) &&
            ((data_.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 || !IsOwnAncestor(name))) {
            PushName(name);
            if (Enter())
                continue;
        } else if (!isFolder && (extensions_.empty() || IsListedExtension(extensions_, FileExtension(name)))) {
            PushName(name);
            sink_(shown_);
        }
        haveEntry = NextEntry();
    }
    return true;
}

// Starts the search of the folder in path_; on success a new level holds it and data_ its first entry.
bool FolderWalk::Enter()
{
    const std::size_t length = path_.size();
    Append(path_, L"*");
    Level level{FindFile(), length, shown_.size(), std::nullopt, false};
    bool started = false;
    DWORD failure = ERROR_SUCCESS;
    try {
        started = level.search.First(path_, data_);
    } catch (const AppError& error) {
        failure = error.Code();
    }
    path_.resize(length);
    if (started)
        levels_.push_back(std::move(level));
    else if (failure != ERROR_SUCCESS && !MeansGone(failure))
        Failed(failure);
    return started;
}

// The next entry of the innermost open search, with both paths cut back to that folder.
bool FolderWalk::NextEntry()
{
    if (levels_.empty())
        return false;
    path_.resize(levels_.back().pathLength);
    shown_.resize(levels_.back().shownLength);
    DWORD failure = ERROR_SUCCESS;
    try {
        return levels_.back().search.Next(data_);
    } catch (const AppError& error) {
        failure = error.Code();
    }
    // A folder whose listing fails part-way contributes what came before.
    Failed(failure);
    return false;
}

void FolderWalk::PushName(std::wstring_view aName)
{
    Append(path_, aName);
    Append(shown_, aName);
}

void FolderWalk::Failed(DWORD aCode)
{
    if (failure_)
        failure_(shown_, aCode);
}

// A link whose target is the current folder or one of the folders above it on this walk.
bool FolderWalk::IsOwnAncestor(std::wstring_view aName)
{
    const std::size_t length = path_.size();
    Append(path_, aName);
    const std::optional<FolderIdentity> target = GetFolderIdentity(path_);
    path_.resize(length);
    return target && std::any_of(levels_.begin(), levels_.end(),
                                 [&](Level& aLevel) { return IdentityOf(aLevel) == target; });
}

const std::optional<FolderIdentity>& FolderWalk::IdentityOf(Level& aLevel)
{
    if (!aLevel.identityRead) {
        aLevel.identity = GetFolderIdentity(path_.substr(0, aLevel.pathLength));
        aLevel.identityRead = true;
    }
    return aLevel.identity;
}
