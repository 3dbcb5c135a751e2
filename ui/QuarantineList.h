// The Quarantine window's rows without the window: what each column shows and how it sorts.
#pragma once

#include "quarantine/Quarantine.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class TQuarantineColumn { Object, Threat, Date, Size };

struct TQuarantineRow {
    std::wstring File;   // the item's full path in the store
    std::wstring Object; // the original path; the item's own path when its header is damaged
    std::wstring Threat; // the threat's name; kDamagedMessage when the header is damaged
    std::uint64_t Time = 0; // of quarantine, FILETIME, UTC; 0 when damaged
    std::uint64_t Size = 0; // of the original content
    bool Damaged = false;
};

// The row of aItem.
TQuarantineRow QuarantineRow(const quarantine::Item& aItem);

// The indices of aRows in the order of aColumn: text by the user's locale ignoring case, the date
// and the size by value; ties keep the given order.
std::vector<std::size_t> SortedItemRows(const std::vector<TQuarantineRow>& aRows, TQuarantineColumn aColumn,
    bool aDescending);

// A UTC FILETIME as the user's short date and time, in local time; empty for 0.
std::wstring DateText(std::uint64_t aUtcTime);

// aBytes as the shell shows a size ("1.50 KB").
std::wstring SizeText(std::uint64_t aBytes);

// "A file named NAME already exists. Replace it?"
std::wstring ReplaceQuestion(const std::wstring& aPath);
