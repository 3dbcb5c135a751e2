// A whole file mapped read-only into memory, the file held open with read sharing.
#pragma once

#include "platform/File.h"
#include "platform/Handle.h"

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

class FileMapping {
public:
    FileMapping() noexcept = default;

    // Opens aPath for reading, shared with readers only (writers are refused while it is
    // mapped), and maps all of it. Throws AppError: the open's "Cannot open file ..." message;
    // "File is empty" for a zero-length file; "File is too large to map (N bytes)" when the size
    // exceeds this edition's address space; "Cannot map file "<full path>". <system text>" with
    // the system's code when the mapping or the view is refused (address space used up).
    static FileMapping Open(const std::wstring& aPath);

    const std::uint8_t* Data() const noexcept { return static_cast<const std::uint8_t*>(view_.Get()); }
    std::size_t Size() const noexcept { return size_; }

private:
    struct ViewTraits {
        using Type = const void*;
        static Type Invalid() noexcept { return nullptr; }
        static void Close(Type aView) noexcept { UnmapViewOfFile(aView); }
    };

    // Released in reverse order: the view, then the mapping, then the file.
    File file_;
    KernelHandle mapping_;
    UniqueHandle<ViewTraits> view_;
    std::size_t size_ = 0;
};
