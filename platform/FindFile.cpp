// One folder search: the basic entry data (no short names), fetched in large batches.
#include "platform/FindFile.h"

bool FindFile::First(const std::wstring& aPattern, WIN32_FIND_DATAW& aData) noexcept
{
    handle_.Reset(FindFirstFileExW(aPattern.c_str(), FindExInfoBasic, &aData, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH));
    return handle_.IsValid();
}

bool FindFile::Next(WIN32_FIND_DATAW& aData) noexcept
{
    return handle_.IsValid() && FindNextFileW(handle_.Get(), &aData) != FALSE;
}
