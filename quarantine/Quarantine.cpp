#include "quarantine/Quarantine.h"

#include "platform/CngHash.h"
#include "platform/CngKeystream.h"
#include "platform/Error.h"
#include "platform/Handle.h"
#include "vault/RestorePath.h"

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

namespace quarantine {

const wchar_t* const kDamagedMessage = L"The quarantined item is damaged.";

namespace {

using Handle = UniqueHandle<FileHandleTraits>;

constexpr std::size_t kChunk = 1 << 20;
const std::wstring kTemporarySuffix = L".partial";

std::wstring ToWide(const std::u16string& aText) { return std::wstring(aText.begin(), aText.end()); }
std::u16string ToU16(const std::wstring& aText) { return std::u16string(aText.begin(), aText.end()); }

// The form CreateFileW takes at any length.
std::wstring Extended(const std::wstring& aPath)
{
    if (aPath.rfind(L"\\\\?\\", 0) == 0 || aPath.size() < MAX_PATH - 12)
        return aPath;
    if (aPath.rfind(L"\\\\", 0) == 0)
        return L"\\\\?\\UNC\\" + aPath.substr(2);
    return L"\\\\?\\" + aPath;
}

[[noreturn]] void Fail(std::wstring_view aContext = {}) { ThrowLastError(aContext); }

// A short write is taken up where it stopped; one that writes nothing means the disk is full
// (Wine reports a full disk that way, with no error, where Windows fails the call).
void Write(HANDLE aFile, const void* aData, std::size_t aLength)
{
    const auto* data = static_cast<const std::uint8_t*>(aData);
    while (aLength > 0) {
        DWORD written = 0;
        if (!WriteFile(aFile, data, static_cast<DWORD>(aLength), &written, nullptr))
            Fail();
        if (written == 0)
            ThrowWin32Error(ERROR_DISK_FULL);
        data += written;
        aLength -= written;
    }
}

std::size_t Read(HANDLE aFile, void* aData, std::size_t aLength)
{
    DWORD read = 0;
    if (!ReadFile(aFile, aData, static_cast<DWORD>(aLength), &read, nullptr))
        Fail();
    return read;
}

void Seek(HANDLE aFile, std::uint64_t aOffset)
{
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(aOffset);
    if (!SetFilePointerEx(aFile, at, nullptr, FILE_BEGIN))
        Fail();
}

bool MarkForDeletion(HANDLE aFile) noexcept
{
    FILE_DISPOSITION_INFO info{};
    info.DeleteFile = TRUE;
    return SetFileInformationByHandle(aFile, FileDispositionInfo, &info, sizeof info) != 0;
}

void RenameTo(HANDLE aFile, const std::wstring& aNewPath)
{
    const std::size_t bytes = sizeof(FILE_RENAME_INFO) + aNewPath.size() * sizeof(wchar_t);
    auto buffer = std::make_unique<std::uint8_t[]>(bytes);
    auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.get());
    info->ReplaceIfExists = FALSE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(aNewPath.size() * sizeof(wchar_t));
    std::memcpy(info->FileName, aNewPath.c_str(), (aNewPath.size() + 1) * sizeof(wchar_t));
    if (!SetFileInformationByHandle(aFile, FileRenameInfo, info, static_cast<DWORD>(bytes)))
        Fail();
}

std::wstring NewGuidName()
{
    GUID guid;
    if (FAILED(CoCreateGuid(&guid)))
        throw AppError(L"Cannot create a GUID");
    wchar_t text[40];
    StringFromGUID2(guid, text, 40);
    return text;
}

std::uint64_t Combine(FILETIME aTime) { return (std::uint64_t{aTime.dwHighDateTime} << 32) | aTime.dwLowDateTime; }
FILETIME Split(std::uint64_t aTime) { return {static_cast<DWORD>(aTime), static_cast<DWORD>(aTime >> 32)}; }

std::wstring Store(const std::wstring& aStore) { return aStore.empty() ? StoreFolder() : aStore; }

// Streams aLength content bytes at the handle's position through the keystream into aHash;
// writes them to aOut when given.
void Transfer(HANDLE aIn, std::uint64_t aLength, CngKeystream& aStream, CngHash& aHash, HANDLE aOut, bool aHashPlain)
{
    auto buffer = std::make_unique<std::uint8_t[]>(kChunk);
    for (std::uint64_t done = 0; done < aLength;) {
        const auto want = static_cast<std::size_t>(std::min<std::uint64_t>(kChunk, aLength - done));
        const std::size_t got = Read(aIn, buffer.get(), want);
        if (got == 0)
            throw AppError(kDamagedMessage);
        if (aHashPlain)
            aHash.Update(buffer.get(), got);
        aStream.Apply(buffer.get(), got, done);
        if (!aHashPlain)
            aHash.Update(buffer.get(), got);
        if (aOut != nullptr)
            Write(aOut, buffer.get(), got);
        done += got;
    }
}

// The header of an open item, or nullopt when it is malformed.
std::optional<vault::ItemHeader> ReadHeader(HANDLE aItem, std::uint64_t aItemSize)
{
    std::vector<std::uint8_t> bytes(vault::kFixedHeaderLength);
    for (;;) {
        Seek(aItem, 0);
        std::size_t got = 0;
        while (got < bytes.size()) {
            const std::size_t n = Read(aItem, bytes.data() + got, bytes.size() - got);
            if (n == 0)
                break;
            got += n;
        }
        const auto parsed = vault::ParseHeader(bytes.data(), got, aItemSize);
        if (parsed.Status == vault::HeaderStatus::Ok)
            return parsed.Header;
        if (parsed.Status == vault::HeaderStatus::Malformed || got < bytes.size() || parsed.HeaderLength <= got)
            return std::nullopt;
        bytes.resize(parsed.HeaderLength); // bounded by the parser
    }
}

std::uint64_t SizeOf(HANDLE aFile)
{
    LARGE_INTEGER size;
    if (!GetFileSizeEx(aFile, &size))
        Fail();
    return static_cast<std::uint64_t>(size.QuadPart);
}

// Whether the content after the header decodes to the header's SHA-256.
bool ContentMatches(HANDLE aItem, const vault::ItemHeader& aHeader, std::uint64_t aHeaderLength)
{
    Seek(aItem, aHeaderLength);
    CngKeystream stream(aHeader.Key.data(), aHeader.Nonce.data());
    CngHash hash(CngAlgorithm::Sha256);
    try {
        Transfer(aItem, aHeader.Size, stream, hash, nullptr, false);
    } catch (const AppError& error) {
        if (error.Message() == kDamagedMessage)
            return false;
        throw;
    }
    std::uint8_t digest[32];
    hash.Finish(digest);
    return std::memcmp(digest, aHeader.Sha256.data(), 32) == 0;
}

std::uint64_t HeaderLength(const vault::ItemHeader& aHeader)
{
    return vault::kFixedHeaderLength + 2 * (aHeader.Path.size() + aHeader.Threat.size());
}

// Steps 1 to 4 on the open original; returns the open, renamed item.
Handle WriteItem(HANDLE aOriginal, vault::ItemHeader& aHeader, const std::wstring& aStore, const StepHook& aHook)
{
    const std::wstring name = aStore + L"\\" + NewGuidName();
    Handle item(CreateFileW(Extended(name + kTemporarySuffix).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!item)
        Fail();
    try {
        CngRandom(aHeader.Key.data(), aHeader.Key.size());
        CngRandom(aHeader.Nonce.data(), aHeader.Nonce.size());
        const auto placeholder = vault::SerializeHeader(aHeader);
        Write(item.Get(), placeholder.data(), placeholder.size());
        CngKeystream stream(aHeader.Key.data(), aHeader.Nonce.data());
        CngHash hash(CngAlgorithm::Sha256);
        Transfer(aOriginal, aHeader.Size, stream, hash, item.Get(), true);
        hash.Finish(aHeader.Sha256.data());
        Seek(item.Get(), 0);
        const auto header = vault::SerializeHeader(aHeader);
        Write(item.Get(), header.data(), header.size());
        if (aHook) aHook(Step::Written);
        if (!FlushFileBuffers(item.Get()))
            Fail();
        if (aHook) aHook(Step::Flushed);
        const auto back = ReadHeader(item.Get(), SizeOf(item.Get()));
        if (!back || *back != aHeader || !ContentMatches(item.Get(), aHeader, header.size()))
            throw AppError(L"The item written does not read back as the original");
        if (aHook) aHook(Step::Verified);
        RenameTo(item.Get(), Extended(name));
        if (aHook) aHook(Step::Renamed);
    } catch (...) {
        MarkForDeletion(item.Get());
        throw;
    }
    return item;
}

Outcome Failure(const AppError& aError)
{
    return {false, aError.Code() != 0 ? SystemMessage(aError.Code()) : aError.Message()};
}

} // namespace

std::wstring StorePath()
{
    PWSTR base = nullptr;
    if (FAILED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &base)))
        throw AppError(L"Cannot find the local application data folder");
    std::wstring folder = std::wstring(base) + L"\\Talbrinn\\Quorvane\\Quarantine";
    CoTaskMemFree(base);
    return folder;
}

std::wstring StoreFolder()
{
    std::wstring folder = StorePath();
    const int result = SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS && result != ERROR_FILE_EXISTS)
        ThrowWin32Error(static_cast<DWORD>(result), L"Cannot create the quarantine folder: ");
    return folder;
}

Outcome QuarantineFile(const std::wstring& aPath, const std::wstring& aThreat, vault::ThreatKind aKind,
    const std::wstring& aStore, const StepHook& aHook)
{
    try {
        Handle original(CreateFileW(Extended(aPath).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!original)
            Fail();
        if (aHook) aHook(Step::Opened);
        BY_HANDLE_FILE_INFORMATION info;
        if (!GetFileInformationByHandle(original.Get(), &info))
            Fail();
        vault::ItemHeader header;
        header.Path = ToU16(aPath);
        header.Threat = ToU16(aThreat.substr(0, vault::kMaxThreatLength));
        header.Kind = aKind;
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        header.QuarantineTime = Combine(now);
        header.Size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
        header.Attributes = info.dwFileAttributes;
        header.CreationTime = Combine(info.ftCreationTime);
        header.LastAccessTime = Combine(info.ftLastAccessTime);
        header.LastWriteTime = Combine(info.ftLastWriteTime);
        const std::wstring store = Store(aStore);
        Handle item = WriteItem(original.Get(), header, store, aHook);
        if (!MarkForDeletion(original.Get())) {
            const DWORD code = GetLastError();
            MarkForDeletion(item.Get());
            return {false, SystemMessage(code)};
        }
        if (aHook) aHook(Step::Deleted);
        return {true, {}};
    } catch (const AppError& error) {
        return Failure(error);
    } catch (const std::exception&) {
        return {false, L"Out of memory"};
    }
}

Outcome DeleteFinding(const std::wstring& aPath)
{
    Handle file(CreateFileW(Extended(aPath).c_str(), DELETE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file || !MarkForDeletion(file.Get()))
        return {false, SystemMessage(GetLastError())};
    return {true, {}};
}

void RemoveTemporaryItems(const std::wstring& aStore)
{
    try {
        const std::wstring store = aStore.empty() ? StorePath() : aStore;
        WIN32_FIND_DATAW found;
        HANDLE find = FindFirstFileW(Extended(store + L"\\*" + kTemporarySuffix).c_str(), &found);
        if (find == INVALID_HANDLE_VALUE)
            return;
        do {
            Handle item(CreateFileW(Extended(store + L"\\" + found.cFileName).c_str(), DELETE, 0, nullptr,
                OPEN_EXISTING, 0, nullptr));
            if (item)
                MarkForDeletion(item.Get());
        } while (FindNextFileW(find, &found));
        FindClose(find);
    } catch (const AppError&) {
    }
}

std::vector<Item> ListItems(const std::wstring& aStore)
{
    std::vector<Item> items;
    const std::wstring store = aStore.empty() ? StorePath() : aStore;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW(Extended(store + L"\\{*}").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE)
        return items;
    do {
        Item item;
        item.File = store + L"\\" + found.cFileName;
        Handle file(CreateFileW(Extended(item.File).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0,
            nullptr));
        try {
            if (file)
                if (auto header = ReadHeader(file.Get(), SizeOf(file.Get())))
                    item.Header = *header;
        } catch (const AppError&) {
        }
        items.push_back(std::move(item));
    } while (FindNextFileW(find, &found));
    FindClose(find);
    return items;
}

namespace {

void CreateFolderOf(const std::wstring& aPath)
{
    const std::size_t slash = aPath.find_last_of(L'\\');
    std::wstring folder = aPath.substr(0, slash);
    if (GetFileAttributesW(Extended(folder).c_str()) != INVALID_FILE_ATTRIBUTES)
        return;
    const int result = SHCreateDirectoryExW(nullptr, Extended(folder).c_str(), nullptr);
    if (result != ERROR_SUCCESS && result != ERROR_ALREADY_EXISTS)
        ThrowWin32Error(static_cast<DWORD>(result));
}

void WriteBack(HANDLE aItem, const vault::ItemHeader& aHeader, const std::wstring& aTarget, bool aReplace)
{
    CreateFolderOf(aTarget);
    const std::wstring temporary = aTarget + L"." + NewGuidName() + kTemporarySuffix;
    {
        Handle out(CreateFileW(Extended(temporary).c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW, 0, nullptr));
        if (!out)
            Fail();
        try {
            Seek(aItem, HeaderLength(aHeader));
            CngKeystream stream(aHeader.Key.data(), aHeader.Nonce.data());
            CngHash hash(CngAlgorithm::Sha256);
            Transfer(aItem, aHeader.Size, stream, hash, out.Get(), false);
            const FILETIME created = Split(aHeader.CreationTime), accessed = Split(aHeader.LastAccessTime),
                           written = Split(aHeader.LastWriteTime);
            if (!FlushFileBuffers(out.Get()) || !SetFileTime(out.Get(), &created, &accessed, &written))
                Fail();
        } catch (...) {
            MarkForDeletion(out.Get());
            throw;
        }
    }
    if (!MoveFileExW(Extended(temporary).c_str(), Extended(aTarget).c_str(),
            MOVEFILE_WRITE_THROUGH | (aReplace ? MOVEFILE_REPLACE_EXISTING : 0))) {
        const DWORD code = GetLastError();
        DeleteFileW(Extended(temporary).c_str());
        ThrowWin32Error(code);
    }
    SetFileAttributesW(Extended(aTarget).c_str(), aHeader.Attributes == 0 ? FILE_ATTRIBUTE_NORMAL : aHeader.Attributes);
}

} // namespace

RestoreOutcome RestoreItem(const std::wstring& aItemFile, const std::wstring& aTarget, bool aReplace)
{
    try {
        Handle item(CreateFileW(Extended(aItemFile).c_str(), GENERIC_READ | DELETE, FILE_SHARE_READ, nullptr,
            OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!item)
            Fail();
        const auto header = ReadHeader(item.Get(), SizeOf(item.Get()));
        if (!header || !ContentMatches(item.Get(), *header, HeaderLength(*header)))
            return {RestoreResult::Damaged, kDamagedMessage};
        const auto checked = vault::CheckRestorePath(aTarget.empty() ? header->Path : ToU16(aTarget));
        // This program never stores "." or ".." segments: an item that holds them was made elsewhere.
        if (!checked || (aTarget.empty() && *checked != header->Path))
            return {RestoreResult::Damaged, kDamagedMessage};
        const std::wstring target = ToWide(*checked);
        if (!aReplace && GetFileAttributesW(Extended(target).c_str()) != INVALID_FILE_ATTRIBUTES)
            return {RestoreResult::Exists, {}};
        WriteBack(item.Get(), *header, target, aReplace);
        MarkForDeletion(item.Get());
        return {RestoreResult::Restored, {}};
    } catch (const AppError& error) {
        const Outcome failure = Failure(error);
        return {RestoreResult::Failed, failure.Message};
    }
}

Outcome DeleteItem(const std::wstring& aItemFile)
{
    return DeleteFinding(aItemFile);
}

} // namespace quarantine
