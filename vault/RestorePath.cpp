#include "vault/RestorePath.h"

#include "vault/ItemHeader.h"

#include <vector>

namespace vault {
namespace {

char16_t Upper(char16_t aChar) { return aChar >= u'a' && aChar <= u'z' ? static_cast<char16_t>(aChar - 32) : aChar; }

bool StartsWith(const std::u16string& aText, std::u16string_view aPrefix) {
    if (aText.size() < aPrefix.size()) return false;
    for (std::size_t i = 0; i < aPrefix.size(); ++i)
        if (Upper(aText[i]) != Upper(aPrefix[i])) return false;
    return true;
}

bool IsDriveRoot(const std::u16string& aText, std::size_t aAt) {
    return aText.size() >= aAt + 3 && Upper(aText[aAt]) >= u'A' && Upper(aText[aAt]) <= u'Z' && aText[aAt + 1] == u':' &&
           aText[aAt + 2] == u'\\';
}

bool ValidNameChar(char16_t aChar) {
    if (aChar < 32) return false;
    for (char16_t bad : u"<>:\"/|?*")
        if (bad != 0 && aChar == bad) return false;
    return true;
}

// Splits at '\' from aAt; fails on an empty segment or a character no name holds.
bool Segments(const std::u16string& aText, std::size_t aAt, std::vector<std::u16string>& aOut) {
    std::u16string segment;
    for (std::size_t i = aAt; i <= aText.size(); ++i) {
        if (i == aText.size() || aText[i] == u'\\') {
            if (segment.empty()) return false;
            aOut.push_back(std::move(segment));
            segment.clear();
        } else if (!ValidNameChar(aText[i])) {
            return false;
        } else {
            segment.push_back(aText[i]);
        }
    }
    return true;
}

// The root ("C:\", "\\server\share\", "\\?\C:\", "\\?\UNC\server\share\") and where the rest
// begins; nullopt for every other form.
std::optional<std::size_t> RootLength(const std::u16string& aPath) {
    if (IsDriveRoot(aPath, 0)) return 3;
    std::size_t uncAt = 0;
    if (StartsWith(aPath, u"\\\\?\\")) {
        if (IsDriveRoot(aPath, 4)) return 7;
        if (!StartsWith(aPath, u"\\\\?\\UNC\\")) return std::nullopt; // GLOBALROOT, Volume{...} and the rest
        uncAt = 8;
    } else if (StartsWith(aPath, u"\\\\") && !StartsWith(aPath, u"\\\\.\\")) {
        uncAt = 2;
    } else {
        return std::nullopt;
    }
    // Server and share: two plain names, neither "." nor "..", nor "?".
    std::size_t at = uncAt;
    for (int part = 0; part < 2; ++part) {
        const std::size_t end = aPath.find(u'\\', at);
        if (end == std::u16string::npos || end == at) return std::nullopt;
        const std::u16string name = aPath.substr(at, end - at);
        if (name == u"." || name == u"..") return std::nullopt;
        for (char16_t c : name)
            if (!ValidNameChar(c)) return std::nullopt;
        at = end + 1;
    }
    return at;
}

std::optional<std::u16string> Resolve(const std::u16string& aPath) {
    if (aPath.size() > kMaxPathLength) return std::nullopt;
    const auto root = RootLength(aPath);
    if (!root) return std::nullopt;
    std::vector<std::u16string> parts;
    if (!Segments(aPath, *root, parts)) return std::nullopt;
    std::vector<std::u16string> kept;
    for (std::u16string& part : parts) {
        if (part == u".") continue;
        if (part == u"..") {
            if (kept.empty()) return std::nullopt; // above the root
            kept.pop_back();
            continue;
        }
        kept.push_back(std::move(part));
    }
    if (kept.empty()) return std::nullopt; // the root itself is no file
    std::u16string result = aPath.substr(0, *root);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) result.push_back(u'\\');
        result += kept[i];
    }
    return result;
}

} // namespace

std::optional<std::u16string> CheckRestorePath(const std::u16string& aPath) {
    const auto resolved = Resolve(aPath);
    if (!resolved) return std::nullopt;
    // The resolved path must pass the same checks and resolve to itself.
    const auto again = Resolve(*resolved);
    if (!again || *again != *resolved) return std::nullopt;
    return resolved;
}

} // namespace vault
