// The text and JSON lines of quorvane-scan.
#include "tools/ScanOutput.h"

#include <cstdio>

namespace {

std::wstring Number(std::int64_t aValue)
{
    return std::to_wstring(aValue);
}

std::wstring Clock(std::uint64_t aMilliseconds)
{
    const std::uint64_t seconds = aMilliseconds / 1000;
    wchar_t text[32];
    std::swprintf(text, 32, L"%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
        static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

std::wstring_view KindWord(TFindingKind aKind) noexcept
{
    switch (aKind) {
    case TFindingKind::Infected:
        return L"infected";
    case TFindingKind::Possible:
        return L"possible";
    case TFindingKind::NotScanned:
        break;
    }
    return L"not-scanned";
}

} // namespace

std::wstring OkLine(std::wstring_view aObject)
{
    return std::wstring(aObject) + L": OK";
}

std::wstring FindingLine(const TFinding& aFinding, std::wstring_view aAction)
{
    std::wstring line = aFinding.Object + L": ";
    switch (aFinding.Kind) {
    case TFindingKind::Infected:
        line += aFinding.Threat + L" FOUND";
        break;
    case TFindingKind::Possible:
        line += aFinding.Threat + L" POSSIBLE";
        break;
    case TFindingKind::NotScanned:
        line += L"Not scanned (" + aFinding.Threat + L")";
        break;
    }
    if (!aAction.empty())
        line.append(L" (").append(aAction).append(L")");
    return line;
}

std::wstring SummaryText(const TScanTotals& aTotals)
{
    std::wstring text = L"\n";
    if (aTotals.Stopped)
        text += L"Stopped.\n";
    text += L"Objects scanned: " + Number(aTotals.Scanned) + L"\n";
    text += L"Infected: " + Number(aTotals.Infected) + L"\n";
    text += L"Possible threats: " + Number(aTotals.Possible) + L"\n";
    text += L"Not scanned: " + Number(aTotals.NotScanned) + L"\n";
    text += L"Time: " + Clock(aTotals.Milliseconds) + L"\n";
    return text;
}

std::wstring JsonString(std::wstring_view aText)
{
    std::wstring json = L"\"";
    for (const wchar_t c : aText) {
        switch (c) {
        case L'"':
            json += L"\\\"";
            break;
        case L'\\':
            json += L"\\\\";
            break;
        case L'\n':
            json += L"\\n";
            break;
        case L'\r':
            json += L"\\r";
            break;
        case L'\t':
            json += L"\\t";
            break;
        default:
            if (c < 0x20) {
                wchar_t escape[8];
                std::swprintf(escape, 8, L"\\u%04x", static_cast<unsigned>(c));
                json += escape;
            } else {
                json += c;
            }
        }
    }
    return json + L"\"";
}

std::wstring FindingJson(const TFinding& aFinding, std::wstring_view aAction)
{
    return L"{\"object\":" + JsonString(aFinding.Object) + L",\"threat\":" + JsonString(aFinding.Threat) +
           L",\"kind\":\"" + std::wstring(KindWord(aFinding.Kind)) +
           L"\",\"action\":" + (aAction.empty() ? std::wstring(L"null") : JsonString(aAction)) + L"}";
}

std::wstring SummaryJson(const TScanTotals& aTotals)
{
    wchar_t seconds[32];
    std::swprintf(seconds, 32, L"%llu.%03u", static_cast<unsigned long long>(aTotals.Milliseconds / 1000),
        static_cast<unsigned>(aTotals.Milliseconds % 1000));
    return L"{\"summary\":true,\"scanned\":" + Number(aTotals.Scanned) + L",\"infected\":" +
           Number(aTotals.Infected) + L",\"possible\":" + Number(aTotals.Possible) + L",\"not_scanned\":" +
           Number(aTotals.NotScanned) + L",\"seconds\":" + seconds +
           L",\"stopped\":" + (aTotals.Stopped ? L"true" : L"false") + L"}";
}

bool IsFailure(const TFinding& aFinding) noexcept
{
    return aFinding.Kind == TFindingKind::NotScanned && aFinding.ErrorCode != 0;
}

TScanExit ScanExitCode(const TScanTotals& aTotals, bool aFailed) noexcept
{
    if (aTotals.Infected > 0 || aTotals.Possible > 0)
        return TScanExit::Found;
    return aFailed ? TScanExit::Error : TScanExit::Clean;
}
