// What quorvane-scan prints: object lines, the summary, their JSON forms, and the exit code.
#pragma once

#include "scan/Finding.h"

#include <cstdint>
#include <string>
#include <string_view>

// The totals behind the summary.
struct TScanTotals {
    std::int64_t Scanned = 0;
    std::int64_t Infected = 0;
    std::int64_t Possible = 0;
    std::int64_t NotScanned = 0;
    std::uint64_t Milliseconds = 0;
    bool Stopped = false;
};

// "PATH: OK".
std::wstring OkLine(std::wstring_view aObject);
// "PATH: NAME FOUND", "PATH: NAME POSSIBLE" or "PATH: Not scanned (TEXT)", then aAction's
// " (quarantined)" text when there is one.
std::wstring FindingLine(const TFinding& aFinding, std::wstring_view aAction = {});
// One blank line, "Stopped." when stopped, then the five counts and "Time: H:MM:SS", each line
// ending with "\n".
std::wstring SummaryText(const TScanTotals& aTotals);

// aText as a JSON string, quotes included: quote, backslash and control characters escaped,
// the rest as it is.
std::wstring JsonString(std::wstring_view aText);
// {"object":...,"threat":...,"kind":"infected"|"possible"|"not-scanned","action":null|"..."}
std::wstring FindingJson(const TFinding& aFinding, std::wstring_view aAction = {});
// {"summary":true,"scanned":N,"infected":N,"possible":N,"not_scanned":N,"seconds":S,"stopped":B}
std::wstring SummaryJson(const TScanTotals& aTotals);

// True when a "Not scanned" finding makes the exit code 2: it carries a system error code.
bool IsFailure(const TFinding& aFinding) noexcept;

enum class TScanExit : int { Clean = 0, Found = 1, Error = 2 };
// 1 when a threat or possible threat was found; else 2 when aFailed (a usage or database error,
// a missing PATH, a stop, a failure finding); else 0.
TScanExit ScanExitCode(const TScanTotals& aTotals, bool aFailed) noexcept;
