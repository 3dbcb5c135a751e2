// Read-only mappings of whole files: CreateFileMappingW and MapViewOfFile over a shared-read handle.
#include "platform/FileMapping.h"

#include "platform/Error.h"

#include <limits>

namespace {

[[noreturn]] void ThrowMapError(const std::wstring& aPath, DWORD aCode)
{
    throw AppError(L"Cannot map file \"" + FullPathName(aPath) + L"\". " + SystemErrorText(aCode), aCode);
}

} // namespace

FileMapping FileMapping::Open(const std::wstring& aPath)
{
    FileMapping mapping;
    mapping.file_ = File::OpenExisting(aPath, File::Access::Read, FILE_SHARE_READ);
    const std::int64_t size = mapping.file_.Size();
    if (size == 0)
        throw AppError(L"File is empty");
    if (static_cast<std::uint64_t>(size) > std::numeric_limits<std::size_t>::max())
        throw AppError(L"File is too large to map (" + std::to_wstring(size) + L" bytes)");
    mapping.mapping_.Reset(CreateFileMappingW(mapping.file_.Native(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (!mapping.mapping_)
        ThrowMapError(aPath, GetLastError());
    mapping.view_.Reset(MapViewOfFile(mapping.mapping_.Get(), FILE_MAP_READ, 0, 0, 0));
    if (!mapping.view_)
        ThrowMapError(aPath, GetLastError());
    mapping.size_ = static_cast<std::size_t>(size);
    return mapping;
}
