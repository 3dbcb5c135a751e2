// The rows of the results window as orders, clipboard text and CSV bytes.
#include "scan/ResultsReport.h"

#include "platform/TextCompare.h"
#include "platform/Utf8.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <numeric>

namespace {

constexpr std::array<std::wstring_view, 4> kHeader{L"Object", L"Threat", L"Kind", L"Action"};

std::array<std::wstring_view, 4> Cells(const TFinding& aFinding, const std::vector<std::wstring>& aActions, std::size_t aRow)
{
    const std::wstring_view action = aRow < aActions.size() ? std::wstring_view(aActions[aRow]) : std::wstring_view();
    return {aFinding.Object, aFinding.Threat, KindText(aFinding.Kind), action};
}

int KindRank(TFindingKind aKind) noexcept
{
    switch (aKind) {
    case TFindingKind::Infected:
        return 0;
    case TFindingKind::Possible:
        return 1;
    case TFindingKind::NotScanned:
        break;
    }
    return 2;
}

int Compare(const TFinding& aLeft, const TFinding& aRight, TResultsColumn aColumn)
{
    switch (aColumn) {
    case TResultsColumn::Object:
        return CompareForUser(aLeft.Object, aRight.Object);
    case TResultsColumn::Threat:
        return CompareForUser(aLeft.Threat, aRight.Threat);
    case TResultsColumn::Kind:
        break;
    }
    return KindRank(aLeft.Kind) - KindRank(aRight.Kind);
}

std::wstring TabCell(std::wstring_view aCell)
{
    std::wstring cell(aCell);
    std::replace_if(
        cell.begin(), cell.end(), [](wchar_t aChar) { return aChar == L'\t' || aChar == L'\r' || aChar == L'\n'; }, L' ');
    return cell;
}

std::wstring CsvCell(std::wstring_view aCell)
{
    std::wstring cell(aCell);
    if (!cell.empty() && std::wstring_view(L"=+-@").find(cell.front()) != std::wstring_view::npos)
        cell.insert(0, 1, L'\'');
    if (cell.find_first_of(L",\"\r\n") == std::wstring::npos)
        return cell;
    std::wstring quoted = L"\"";
    for (const wchar_t c : cell) {
        if (c == L'"')
            quoted += L'"';
        quoted += c;
    }
    return quoted + L'"';
}

// The cells made by aMake, separated by aSeparator, with CRLF at the end.
template <typename Make>
std::wstring Line(const std::array<std::wstring_view, 4>& aCells, wchar_t aSeparator, Make aMake)
{
    std::wstring line;
    for (std::size_t i = 0; i < aCells.size(); ++i) {
        if (i != 0)
            line += aSeparator;
        line += aMake(aCells[i]);
    }
    return line + L"\r\n";
}

} // namespace

std::wstring_view KindText(TFindingKind aKind) noexcept
{
    switch (aKind) {
    case TFindingKind::Infected:
        return L"Infected";
    case TFindingKind::Possible:
        return L"Possible threat";
    case TFindingKind::NotScanned:
        break;
    }
    return L"Not scanned";
}

std::vector<std::size_t> ScanOrderRows(const std::vector<TFinding>& aFindings)
{
    std::vector<std::size_t> rows(aFindings.size());
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    std::stable_partition(rows.begin(), rows.end(),
        [&aFindings](std::size_t aRow) { return aFindings[aRow].Kind != TFindingKind::NotScanned; });
    return rows;
}

std::vector<std::size_t> SortedRows(const std::vector<TFinding>& aFindings, TResultsColumn aColumn, bool aDescending)
{
    std::vector<std::size_t> rows(aFindings.size());
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    std::stable_sort(rows.begin(), rows.end(), [&](std::size_t aLeft, std::size_t aRight) {
        const int order = Compare(aFindings[aLeft], aFindings[aRight], aColumn);
        return aDescending ? order > 0 : order < 0;
    });
    return rows;
}

std::wstring ClipboardText(const std::vector<TFinding>& aRows, const std::vector<std::wstring>& aActions)
{
    std::wstring text = Line(kHeader, L'\t', TabCell);
    for (std::size_t row = 0; row < aRows.size(); ++row)
        text += Line(Cells(aRows[row], aActions, row), L'\t', TabCell);
    return text;
}

std::string CsvReport(const std::vector<TFinding>& aRows, const std::vector<std::wstring>& aActions)
{
    std::wstring text = Line(kHeader, L',', CsvCell);
    for (std::size_t row = 0; row < aRows.size(); ++row)
        text += Line(Cells(aRows[row], aActions, row), L',', CsvCell);
    return "\xEF\xBB\xBF" + ToUtf8(text);
}

std::wstring SkippedSummary(const TSkippedCounts& aCounts)
{
    struct Part {
        std::int64_t Count;
        const wchar_t* One;
        const wchar_t* Many;
    };
    const std::array<Part, 3> parts{{
        {aCounts.Processes, L" process whose modules could not be read", L" processes whose modules could not be read"},
        {aCounts.RegisteredFiles, L" registered file that does not exist", L" registered files that do not exist"},
        {aCounts.VanishedFiles, L" file that vanished during the scan", L" files that vanished during the scan"},
    }};
    std::wstring summary;
    for (const Part& part : parts) {
        if (part.Count == 0)
            continue;
        summary += summary.empty() ? L"Also skipped: " : L"; ";
        summary += std::to_wstring(part.Count) + (part.Count == 1 ? part.One : part.Many);
    }
    if (!summary.empty())
        summary += L'.';
    return summary;
}
