// Folder identity from an open handle: volume serial number and file index.
#include "platform/FolderIdentity.h"

#include "platform/Handle.h"

std::optional<FolderIdentity> GetFolderIdentity(const std::wstring& aPath) noexcept
{
    const FileHandle folder(CreateFileW(aPath.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    BY_HANDLE_FILE_INFORMATION info;
    if (!folder || !GetFileInformationByHandle(folder.Get(), &info))
        return std::nullopt;
    return FolderIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}
