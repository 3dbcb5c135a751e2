// Iterative depth-first walk: one open search per level, one path buffer extended and cut back.
#include "scan/FolderWalk.h"

#include "platform/Error.h"
#include "scan/FileExtensions.h"
#include "text/PathText.h"

#include <algorithm>

namespace {

bool NeedsSeparator(std::wstring_view aFolder) noexcept
{
    return !aFolder.empty() && aFolder.back() != L'\\' && aFolder.back() != L'/' && aFolder.back() != L':';
}

// A search path must fit MAX_PATH with its NUL unless it carries the extended-length prefix.
bool FitsSearch(std::wstring_view aPattern) noexcept
{
    return aPattern.size() < MAX_PATH || HasLongPathPrefix(aPattern);
}

bool IsDotEntry(const wchar_t* aName) noexcept
{
    return aName[0] == L'.' && (aName[1] == L'\0' || (aName[1] == L'.' && aName[2] == L'\0'));
}

}

FolderWalk::FolderWalk(const std::vector<std::wstring>& aExtensions, StopQuery aStop, FileSink aSink)
    : extensions_(aExtensions), stop_(std::move(aStop)), sink_(std::move(aSink))
{
}

std::wstring FolderWalk::Join(std::wstring_view aFolder, std::wstring_view aName)
{
    std::wstring path(aFolder);
    if (NeedsSeparator(aFolder))
        path += L'\\';
    path += aName;
    return path;
}

bool FolderWalk::Walk(const std::wstring& aRoot)
{
    levels_.clear();
    path_ = aRoot;
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
        } else if (!isFolder && IsListedExtension(extensions_, FileExtension(name))) {
            PushName(name);
            sink_(path_);
        }
        haveEntry = NextEntry();
    }
    return true;
}

// Starts the search of the folder in path_; on success a new level holds it and data_ its first entry.
bool FolderWalk::Enter()
{
    const std::size_t length = path_.size();
    PushName(L"*");
    Level level{FindFile(), length, std::nullopt, false};
    bool started = false;
    if (FitsSearch(path_)) {
        try {
            started = level.search.First(path_, data_);
        } catch (const AppError&) {
            // A folder whose search fails (the system's code in Code()) contributes nothing.
        }
    }
    path_.resize(length);
    if (started)
        levels_.push_back(std::move(level));
    return started;
}

// The next entry of the innermost open search, with path_ cut back to that folder.
bool FolderWalk::NextEntry()
{
    if (levels_.empty())
        return false;
    path_.resize(levels_.back().pathLength);
    try {
        return levels_.back().search.Next(data_);
    } catch (const AppError&) {
        // A folder whose listing fails part-way (the code in Code()) contributes what came before.
        return false;
    }
}

void FolderWalk::PushName(std::wstring_view aName)
{
    if (NeedsSeparator(path_))
        path_ += L'\\';
    path_ += aName;
}

// A link whose target is the current folder or one of the folders above it on this walk.
bool FolderWalk::IsOwnAncestor(std::wstring_view aName)
{
    const std::size_t length = path_.size();
    PushName(aName);
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
