// Writing and reading the stored text of the folder table.
#include "settings/FoldersText.h"

#include "platform/TextCompare.h"

#include <algorithm>
#include <map>

namespace {

constexpr wchar_t kQuote = L'"';
constexpr wchar_t kDelimiter = L';';

bool IsBlank(wchar_t aChar)
{
    return aChar >= 1 && aChar <= 32;
}

// Orders paths as Windows compares file names: ordinal, letter case ignored.
struct PathLess {
    bool operator()(const std::wstring& aLeft, const std::wstring& aRight) const noexcept
    {
        return CompareOrdinalIgnoringCase(aLeft, aRight) < 0;
    }
};

// One entry per path, letter case ignored: a later entry replaces an earlier one in place.
std::vector<FolderEntry> MergeByPath(const std::vector<FolderEntry>& aFolders)
{
    std::vector<FolderEntry> merged;
    std::map<std::wstring, std::size_t, PathLess> positions;
    for (const FolderEntry& entry : aFolders) {
        const auto [position, added] = positions.try_emplace(entry.first, merged.size());
        if (added)
            merged.push_back(entry);
        else
            merged[position->second] = entry;
    }
    return merged;
}

std::wstring QuotedIfNeeded(const std::wstring& aItem)
{
    const bool needsQuotes = std::any_of(aItem.begin(), aItem.end(),
        [](wchar_t aChar) { return aChar == kQuote || aChar == kDelimiter || IsBlank(aChar); });
    if (!needsQuotes)
        return aItem;
    std::wstring quoted(1, kQuote);
    for (wchar_t c : aItem) {
        if (c == kQuote)
            quoted += kQuote;
        quoted += c;
    }
    return quoted + kQuote;
}

void SkipBlanks(const std::wstring& aText, std::size_t& aPos)
{
    while (aPos < aText.size() && IsBlank(aText[aPos]))
        ++aPos;
}

// A quoted item starting at the opening quote; without a closing quote it runs to the end.
std::wstring TakeQuotedItem(const std::wstring& aText, std::size_t& aPos)
{
    std::wstring item;
    for (++aPos; aPos < aText.size(); ++aPos) {
        if (aText[aPos] == kQuote) {
            if (aPos + 1 >= aText.size() || aText[aPos + 1] != kQuote) {
                ++aPos;
                break;
            }
            ++aPos;
        }
        item += aText[aPos];
    }
    return item;
}

// An unquoted item: up to the first ";" or character with a code from 0 to 32.
std::wstring TakeBareItem(const std::wstring& aText, std::size_t& aPos)
{
    const std::size_t start = aPos;
    while (aPos < aText.size() && aText[aPos] != kDelimiter && aText[aPos] > 32)
        ++aPos;
    return aText.substr(start, aPos - start);
}

std::vector<std::wstring> SplitItems(const std::wstring& aText)
{
    std::vector<std::wstring> items;
    std::size_t pos = 0;
    SkipBlanks(aText, pos);
    while (pos < aText.size()) {
        items.push_back(aText[pos] == kQuote ? TakeQuotedItem(aText, pos) : TakeBareItem(aText, pos));
        SkipBlanks(aText, pos);
        if (pos < aText.size() && aText[pos] == kDelimiter) {
            if (pos + 1 == aText.size())
                items.emplace_back();
            ++pos;
            SkipBlanks(aText, pos);
        }
    }
    return items;
}

FolderEntry ParseItem(const std::wstring& aItem)
{
    const std::size_t separator = aItem.rfind(L'=');
    if (separator == std::wstring::npos)
        return {std::wstring(), false};
    return {aItem.substr(0, separator), aItem.compare(separator + 1, std::wstring::npos, L"1") == 0};
}

} // namespace

std::wstring WriteFoldersText(const std::vector<FolderEntry>& aFolders)
{
    std::wstring text;
    for (const FolderEntry& entry : MergeByPath(aFolders)) {
        if (!text.empty())
            text += kDelimiter;
        text += QuotedIfNeeded(entry.first + (entry.second ? L"=1" : L"=0"));
    }
    return text;
}

std::vector<FolderEntry> ReadFoldersText(const std::wstring& aText)
{
    std::vector<FolderEntry> entries;
    for (const std::wstring& item : SplitItems(aText))
        entries.push_back(ParseItem(item));
    return entries;
}
