// The same work as the engine with nothing around it, as the yardstick.
//   bench_bare sig FILE     read FILE whole and check its trailing MD5 through CNG
//   bench_bare scan ROOT    walk, sort-key sort without repetitions, read every listed file
#include "bench/BenchClock.h"

#include <windows.h>
#include <bcrypt.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

const wchar_t* const kExtensions[] = {L".apk", L".bat", L".bin", L".cgi", L".com", L".cpp", L".dll",
                                      L".exe", L".gadget", L".gtp", L".jar", L".js", L".msi", L".msu",
                                      L".ocx", L".pif", L".pwz", L".thm", L".vb", L".wsf"};

bool Listed(const wchar_t* aName)
{
    const wchar_t* dot = std::wcsrchr(aName, L'.');
    if (dot == nullptr)
        return false;
    for (const wchar_t* extension : kExtensions) {
        if (_wcsicmp(dot, extension) == 0)
            return true;
    }
    return false;
}

void Walk(std::wstring& aFolder, std::vector<std::wstring>& aFiles)
{
    const std::size_t length = aFolder.size();
    aFolder += L"\\*";
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileExW(aFolder.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                   FIND_FIRST_EX_LARGE_FETCH);
    aFolder.resize(length);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (std::wcscmp(data.cFileName, L".") == 0 || std::wcscmp(data.cFileName, L"..") == 0)
                continue;
            aFolder += L'\\';
            aFolder += data.cFileName;
            Walk(aFolder, aFiles);
            aFolder.resize(length);
        } else if (Listed(data.cFileName)) {
            aFiles.push_back(aFolder + L'\\' + data.cFileName);
        }
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

std::string SortKey(const std::wstring& aText)
{
    char key[2048];
    const int bytes = LCMapStringW(LOCALE_USER_DEFAULT, LCMAP_SORTKEY | NORM_IGNORECASE, aText.c_str(), -1,
                                   reinterpret_cast<LPWSTR>(key), sizeof(key));
    return std::string(key, static_cast<std::size_t>(bytes));
}

std::vector<std::wstring> SortedUnique(std::vector<std::wstring> aFiles)
{
    std::vector<std::pair<std::string, std::size_t>> keyed;
    keyed.reserve(aFiles.size());
    for (std::size_t i = 0; i < aFiles.size(); ++i)
        keyed.emplace_back(SortKey(aFiles[i]), i);
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& aA, const auto& aB) { return aA.first < aB.first; });
    std::vector<std::wstring> sorted;
    sorted.reserve(keyed.size());
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        if (i == 0 || keyed[i].first != keyed[i - 1].first)
            sorted.push_back(std::move(aFiles[keyed[i].second]));
    }
    return sorted;
}

std::uint64_t ReadAll(const std::vector<std::wstring>& aFiles)
{
    std::vector<std::uint8_t> buffer(8192);
    std::uint64_t total = 0;
    for (const std::wstring& path : aFiles) {
        HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            continue;
        DWORD read = 0;
        while (ReadFile(file, buffer.data(), 8192, &read, nullptr) && read > 0)
            total += read;
        CloseHandle(file);
    }
    return total;
}

int Scan(const wchar_t* aRoot)
{
    const double start = NowMs();
    std::wstring root = aRoot;
    std::vector<std::wstring> files;
    Walk(root, files);
    const double walked = NowMs();
    const std::vector<std::wstring> sorted = SortedUnique(std::move(files));
    const double listed = NowMs();
    const std::uint64_t bytes = ReadAll(sorted);
    const double end = NowMs();
    Print("bare_files", static_cast<double>(sorted.size()));
    Print("bare_walk_ms", walked - start);
    Print("bare_list_ms", listed - start);
    Print("bare_read_ms", end - listed);
    Print("bare_scan_ms", end - start);
    Print("bare_read_mib", static_cast<double>(bytes) / 1048576.0);
    Print("bare_process_peak_mib", SampleMemory().peakWorkingSet / 1048576.0);
    return 0;
}

bool Md5Matches(const std::vector<std::uint8_t>& aContent)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_MD5_ALGORITHM, nullptr, 0) != 0)
        return false;
    std::uint8_t digest[16];
    const ULONG payload = static_cast<ULONG>(aContent.size() - 16);
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool hashed = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    hashed = hashed && BCryptHashData(hash, const_cast<PUCHAR>(aContent.data()), payload, 0) == 0 &&
        BCryptFinishHash(hash, digest, 16, 0) == 0;
    if (hash != nullptr)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return hashed && std::memcmp(digest, aContent.data() + payload, 16) == 0;
}

int Signature(const wchar_t* aPath)
{
    const double start = NowMs();
    HANDLE file = CreateFileW(aPath, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER size{};
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size) || size.QuadPart <= 16)
        return 1;
    std::vector<std::uint8_t> content(static_cast<std::size_t>(size.QuadPart));
    DWORD read = 0;
    const bool ok = ReadFile(file, content.data(), static_cast<DWORD>(content.size()), &read, nullptr) &&
        read == content.size() && Md5Matches(content);
    CloseHandle(file);
    Print("bare_sig_ms", NowMs() - start);
    return ok ? 0 : 1;
}

}

int wmain(int argc, wchar_t** argv)
{
    const std::wstring mode = argc > 2 ? argv[1] : L"";
    if (mode == L"sig")
        return Signature(argv[2]);
    if (mode == L"scan")
        return Scan(argv[2]);
    std::fprintf(stderr, "usage: bench_bare sig FILE | scan ROOT\n");
    return 2;
}
