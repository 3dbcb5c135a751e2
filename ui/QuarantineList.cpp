// The Quarantine window's cells, their order and its questions.
#include "ui/QuarantineList.h"

#include "platform/TextCompare.h"

#include <windows.h>
#include <shlwapi.h>

#include <algorithm>
#include <numeric>

namespace {

template <typename T>
int Order(T aLeft, T aRight) noexcept
{
    return aLeft < aRight ? -1 : (aLeft > aRight ? 1 : 0);
}

int Compare(const TQuarantineRow& aLeft, const TQuarantineRow& aRight, TQuarantineColumn aColumn)
{
    switch (aColumn) {
    case TQuarantineColumn::Object:
        return CompareForUser(aLeft.Object, aRight.Object);
    case TQuarantineColumn::Threat:
        return CompareForUser(aLeft.Threat, aRight.Threat);
    case TQuarantineColumn::Date:
        return Order(aLeft.Time, aRight.Time);
    case TQuarantineColumn::Size:
        break;
    }
    return Order(aLeft.Size, aRight.Size);
}

} // namespace

TQuarantineRow QuarantineRow(const quarantine::Item& aItem)
{
    TQuarantineRow row;
    row.File = aItem.File;
    const vault::ItemHeader& header = aItem.Header;
    if (header.Path.empty()) {
        row.Object = aItem.File;
        row.Threat = quarantine::kDamagedMessage;
        row.Damaged = true;
        return row;
    }
    row.Object.assign(header.Path.begin(), header.Path.end());
    row.Threat.assign(header.Threat.begin(), header.Threat.end());
    row.Time = header.QuarantineTime;
    row.Size = header.Size;
    return row;
}

std::vector<std::size_t> SortedItemRows(const std::vector<TQuarantineRow>& aRows, TQuarantineColumn aColumn,
    bool aDescending)
{
    std::vector<std::size_t> rows(aRows.size());
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    std::stable_sort(rows.begin(), rows.end(), [&](std::size_t aLeft, std::size_t aRight) {
        const int order = Compare(aRows[aLeft], aRows[aRight], aColumn);
        return aDescending ? order > 0 : order < 0;
    });
    return rows;
}

std::wstring DateText(std::uint64_t aUtcTime)
{
    if (aUtcTime == 0)
        return {};
    const FILETIME utc{static_cast<DWORD>(aUtcTime), static_cast<DWORD>(aUtcTime >> 32)};
    SYSTEMTIME universal;
    SYSTEMTIME local;
    if (!FileTimeToSystemTime(&utc, &universal) || !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
        return {};
    wchar_t date[80] = {};
    wchar_t time[80] = {};
    if (GetDateFormatEx(LOCALE_NAME_USER_DEFAULT, DATE_SHORTDATE, &local, nullptr, date, 80, nullptr) == 0 ||
        GetTimeFormatEx(LOCALE_NAME_USER_DEFAULT, TIME_NOSECONDS, &local, nullptr, time, 80) == 0)
        return {};
    return std::wstring(date) + L" " + time;
}

std::wstring SizeText(std::uint64_t aBytes)
{
    wchar_t text[64] = {};
    if (StrFormatByteSizeW(static_cast<LONGLONG>(std::min<std::uint64_t>(aBytes, INT64_MAX)), text, 64) == nullptr)
        return std::to_wstring(aBytes);
    return text;
}

std::wstring ReplaceQuestion(const std::wstring& aPath)
{
    return L"A file named " + aPath + L" already exists. Replace it?";
}
