// The files a scan has already judged: each file is read, counted and listed once per scan.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

class TVerdictCache {
public:
    // The key of a file that was opened: its volume serial number and file index, the same for
    // every spelling (case, short names, \\?\, WOW64 paths).
    static std::wstring IdentityKey(std::uint32_t aVolume, std::uint64_t aIndex);
    // The key of a file that could not be opened: its resolved full path without the
    // extended-length prefix, letter case ignored.
    static std::wstring PathKey(std::wstring_view aPath);

    // True when a scanner that remembers its objects has judged the file of aKey.
    bool Judged(const std::wstring& aKey) const { return FKeys.count(aKey) != 0; }
    // Notes the file of aKey as judged. Throws std::bad_alloc.
    void Remember(const std::wstring& aKey) { FKeys.insert(aKey); }
    bool Empty() const noexcept { return FKeys.empty(); }
    // Notes that the file of aKey is on an allow list: nothing in it is reported when it is met again.
    // Throws std::bad_alloc.
    void RememberAllowed(const std::wstring& aKey) { FAllowed.insert(aKey); }
    bool Allowed(const std::wstring& aKey) const { return FAllowed.count(aKey) != 0; }

private:
    std::unordered_set<std::wstring> FKeys;
    std::unordered_set<std::wstring> FAllowed;
};
