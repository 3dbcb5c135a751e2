// The folder of extra databases beside the program: which .qdb files it holds, in load order.
#pragma once

#include <string>
#include <vector>

class TSignatureFolder {
public:
    // The name of the folder beside the program that holds the .qdb files.
    static constexpr wchar_t kFolderName[] = L"signatures";

    // Lists the .qdb files in aFolder (no backslash at its end): files only, whose names end in
    // ".qdb" in any letter case, ordered as Windows orders file names (ordinal, letter case
    // ignored). A folder that does not exist holds none. Throws AppError when the folder
    // cannot be searched.
    explicit TSignatureFolder(std::wstring aFolder);
    // The folder kFolderName beside the running program.
    static TSignatureFolder BesideProgram();

    // The file names, in load order.
    const std::vector<std::wstring>& Names() const noexcept { return FNames; }
    // The full path of one of Names().
    std::wstring PathOf(const std::wstring& aName) const { return FFolder + L"\\" + aName; }

private:
    std::wstring FFolder;
    std::vector<std::wstring> FNames;
};
