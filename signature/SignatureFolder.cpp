// Finding the .qdb files of a folder and putting them in load order.
#include "signature/SignatureFolder.h"

#include "platform/Error.h"
#include "platform/FindFile.h"
#include "platform/ProgramFolder.h"
#include "platform/TextCompare.h"

#include <windows.h>

#include <algorithm>
#include <string_view>

namespace {

constexpr std::wstring_view kExtension = L".qdb";

// The pattern also matches longer extensions through short names ("x.qdbak" as X~1.QDB): the
// name itself decides.
bool IsQdbFile(const WIN32_FIND_DATAW& aEntry)
{
    const std::wstring_view name = aEntry.cFileName;
    return (aEntry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name.size() > kExtension.size() &&
           EqualsOrdinalIgnoringCase(name.substr(name.size() - kExtension.size()), kExtension);
}

} // namespace

TSignatureFolder::TSignatureFolder(std::wstring aFolder) : FFolder(std::move(aFolder))
{
    FindFile search;
    WIN32_FIND_DATAW entry;
    bool found = false;
    try {
        found = search.First(FFolder + L"\\*" + std::wstring(kExtension), entry);
    } catch (const AppError& error) {
        if (error.Code() != ERROR_PATH_NOT_FOUND)
            throw;
    }
    for (; found; found = search.Next(entry)) {
        if (IsQdbFile(entry))
            FNames.emplace_back(entry.cFileName);
    }
    std::sort(FNames.begin(), FNames.end(), [](const std::wstring& aLeft, const std::wstring& aRight) {
        return CompareOrdinalIgnoringCase(aLeft, aRight) < 0;
    });
}

TSignatureFolder TSignatureFolder::BesideProgram()
{
    return TSignatureFolder(ProgramFolder() + kFolderName);
}
