// Movable owners of Win32 handles, one traits type per kind with its own invalid value.
#pragma once

#include <windows.h>

#include <utility>

template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type aHandle) noexcept : handle_(aHandle) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(UniqueHandle&& aOther) noexcept : handle_(aOther.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& aOther) noexcept
    {
        if (this != &aOther)
            Reset(aOther.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    Type Get() const noexcept { return handle_; }
    bool IsValid() const noexcept { return handle_ != Traits::Invalid(); }
    explicit operator bool() const noexcept { return IsValid(); }

    Type Release() noexcept { return std::exchange(handle_, Traits::Invalid()); }

    void Reset(Type aHandle = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(handle_, aHandle);
        if (old != Traits::Invalid())
            Traits::Close(old);
    }

    // Closes the current handle and gives its slot to an API that fills it in.
    Type* Put() noexcept
    {
        Reset();
        return &handle_;
    }

private:
    Type handle_ = Traits::Invalid();
};

struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type aHandle) noexcept { CloseHandle(aHandle); }
};

// Files and Toolhelp snapshots use INVALID_HANDLE_VALUE as their invalid value.
struct FileHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type aHandle) noexcept { CloseHandle(aHandle); }
};

struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Type aHandle) noexcept { FindClose(aHandle); }
};

struct RegKeyTraits {
    using Type = HKEY;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type aHandle) noexcept { RegCloseKey(aHandle); }
};

struct GdiObjectTraits {
    using Type = HGDIOBJ;
    static Type Invalid() noexcept { return nullptr; }
    static void Close(Type aHandle) noexcept { DeleteObject(aHandle); }
};

using KernelHandle = UniqueHandle<KernelHandleTraits>;
using FileHandle = UniqueHandle<FileHandleTraits>;
using SnapshotHandle = UniqueHandle<FileHandleTraits>;
using FindHandle = UniqueHandle<FindHandleTraits>;
using RegKey = UniqueHandle<RegKeyTraits>;
using GdiObject = UniqueHandle<GdiObjectTraits>;
