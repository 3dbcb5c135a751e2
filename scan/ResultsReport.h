// The results of a scan as rows: their orders, the clipboard's text and the CSV report.
#pragma once

#include "scan/Finding.h"
#include "scan/SkippedCounts.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

enum class TResultsColumn { Object, Threat, Kind };

// "Infected", "Possible threat" or "Not scanned".
std::wstring_view KindText(TFindingKind aKind) noexcept;

// The indices of aFindings as first listed: scan order, the objects that were not scanned last.
std::vector<std::size_t> ScanOrderRows(const std::vector<TFinding>& aFindings);

// The indices of aFindings sorted by aColumn, reversed when aDescending: objects and threats in
// the user's text order (CompareForUser, as the file list), kinds as Infected, Possible threat, Not scanned.
// Rows that compare equal keep scan order either way.
std::vector<std::size_t> SortedRows(const std::vector<TFinding>& aFindings, TResultsColumn aColumn, bool aDescending);

// The line under the list for what was counted but not listed: "Also skipped: " and the non-zero
// parts ("N processes whose modules could not be read", "N registered files that do not exist",
// "N files that vanished during the scan", each in the singular for 1) joined by "; ", then a
// full stop. Empty when all three are 0.
std::wstring SkippedSummary(const TSkippedCounts& aCounts);

// aRows as the clipboard gets them: the line "Object\tThreat\tKind\tAction", then one line per row,
// cells separated by tabs; every line ends with CRLF. A tab or line break inside a cell becomes a
// space. aActions holds the Action cells of aRows by index; rows beyond it have an empty one.
std::wstring ClipboardText(const std::vector<TFinding>& aRows, const std::vector<std::wstring>& aActions = {});

// aRows as a UTF-8 CSV file (RFC 4180): a byte-order mark, the header "Object,Threat,Kind,Action",
// one record per row (Action cells as for ClipboardText), CRLF after each. A cell holding a comma, quote, CR or LF is quoted, its quotes
// doubled; a cell that begins with '=', '+', '-' or '@' gets a leading apostrophe so that a
// spreadsheet takes it as text.
std::string CsvReport(const std::vector<TFinding>& aRows, const std::vector<std::wstring>& aActions = {});
