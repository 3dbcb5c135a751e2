// Extension list and acceptance: the user's locale decides, with an exact shortcut for plain
// ASCII letters and digits, where equality is equality ignoring ASCII case.
#include "scan/FileExtensions.h"

#include "platform/TextCompare.h"
#include "text/AsciiCase.h"
#include "text/PathText.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<const wchar_t*, 20> kProgramExtensions = {
    L".apk", L".bat", L".bin", L".cgi", L".com", L".cpp", L".dll", L".exe", L".gadget", L".gtp",
    L".jar", L".js", L".msi", L".msu", L".ocx", L".pif", L".pwz", L".thm", L".vb", L".wsf"};
constexpr std::array<const wchar_t*, 9> kArchiveExtensions = {
    L".zip", L".rar", L".7z", L".tar", L".gz", L".tgz", L".bz2", L".xz", L".cab"};

// A dot followed only by ASCII letters and digits, like every listed extension.
bool IsPlainExtension(std::wstring_view aExtension) noexcept
{
    return aExtension.size() > 1 && aExtension[0] == L'.' && std::all_of(aExtension.begin() + 1, aExtension.end(), IsAsciiAlnum);
}

}

std::vector<std::wstring> MakeFileExtensions(bool aArchives)
{
    std::vector<std::wstring> extensions(kProgramExtensions.begin(), kProgramExtensions.end());
    if (aArchives)
        extensions.insert(extensions.end(), kArchiveExtensions.begin(), kArchiveExtensions.end());
    std::sort(extensions.begin(), extensions.end(),
              [](const std::wstring& aLeft, const std::wstring& aRight) { return CompareForUser(aLeft, aRight) < 0; });
    return extensions;
}

std::wstring_view FileExtension(std::wstring_view aName) noexcept
{
    aName = WithoutTrailingDotsAndSpaces(aName);
    const std::size_t dot = aName.rfind(L'.');
    return dot == std::wstring_view::npos ? std::wstring_view() : aName.substr(dot);
}

bool IsListedExtension(const std::vector<std::wstring>& aExtensions, std::wstring_view aExtension) noexcept
{
    if (aExtension.empty())
        return false;
    if (IsPlainExtension(aExtension)) {
        return std::any_of(aExtensions.begin(), aExtensions.end(),
                           [&](const std::wstring& aListed) { return EqualsIgnoringAsciiCase(aListed, aExtension); });
    }
    const auto found = std::lower_bound(
        aExtensions.begin(), aExtensions.end(), aExtension,
        [](const std::wstring& aListed, std::wstring_view aText) { return CompareForUser(aListed, aText) < 0; });
    return found != aExtensions.end() && CompareForUser(*found, aExtension) == 0;
}
