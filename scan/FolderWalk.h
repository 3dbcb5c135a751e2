// The depth-first walk of one folder tree that gathers the files with accepted extensions.
#pragma once

#include "platform/FindFile.h"
#include "platform/FolderIdentity.h"

#include <windows.h>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class FolderWalk {
public:
    using StopQuery = std::function<bool()>;
    using FileSink = std::function<void(std::wstring_view aPath)>;
    using FailureSink = std::function<void(std::wstring_view aFolder, DWORD aCode)>;

    // aExtensions: sorted as MakeFileExtensions returns them, or empty for every file; aStop is polled before each entry;
    // aSink receives the path of each accepted file in the order found; aFailure, when given, each
    // folder whose search fails for a reason other than "not found", with the system's code.
    FolderWalk(const std::vector<std::wstring>& aExtensions, StopQuery aStop, FileSink aSink,
        FailureSink aFailure = {});

    // Walks the folder aSystemRoot (the root as the system is asked for it, CheckScanRoot's
    // result) to the bottom: every entry in the system's order, each subfolder at once, except
    // "." and ".." and links back to a folder on the current path. The paths handed on are aRoot,
    // spelled as given, joined with the walked names. A folder that cannot be searched
    // contributes nothing, one whose listing fails part-way the entries listed before.
    // Returns false when stopped. Throws what the sinks throw.
    bool Walk(const std::wstring& aRoot, const std::wstring& aSystemRoot);

    // aFolder joined with aName: a backslash between them unless aFolder ends with "\", "/" or ":".
    static std::wstring Join(std::wstring_view aFolder, std::wstring_view aName);

private:
    struct Level {
        FindFile search;
        std::size_t pathLength;
        std::size_t shownLength;
        std::optional<FolderIdentity> identity;
        bool identityRead;
    };

    bool Enter();
    bool NextEntry();
    void PushName(std::wstring_view aName);
    void Failed(DWORD aCode);
    bool IsOwnAncestor(std::wstring_view aName);
    const std::optional<FolderIdentity>& IdentityOf(Level& aLevel);

    const std::vector<std::wstring>& extensions_;
    StopQuery stop_;
    FileSink sink_;
    FailureSink failure_;
    // The current path as the system is asked for it, and as it is shown.
    std::wstring path_;
    std::wstring shown_;
    std::vector<Level> levels_;
    WIN32_FIND_DATAW data_{};
};
