// The clipboard, opened for one change and closed again, and the memory block handed to it.
#include "platform/Clipboard.h"

#include "platform/Error.h"

#include <cstring>

namespace {

constexpr std::wstring_view kContext = L"Cannot copy to the clipboard: ";

// The clipboard opened by this thread for as long as the object lives.
class OpenedClipboard {
public:
    explicit OpenedClipboard(HWND aOwner)
    {
        // Another program may hold it for a moment.
        for (int attempt = 0; !OpenClipboard(aOwner); ++attempt) {
            if (attempt == 4)
                ThrowLastError(kContext);
            Sleep(20);
        }
    }
    ~OpenedClipboard() { CloseClipboard(); }
    OpenedClipboard(const OpenedClipboard&) = delete;
    OpenedClipboard& operator=(const OpenedClipboard&) = delete;
};

// A movable global memory block, freed unless the clipboard took it.
class GlobalBlock {
public:
    explicit GlobalBlock(std::size_t aSize) : block_(GlobalAlloc(GMEM_MOVEABLE, aSize))
    {
        if (block_ == nullptr)
            ThrowLastError(kContext);
    }
    ~GlobalBlock()
    {
        if (block_ != nullptr)
            GlobalFree(block_);
    }
    GlobalBlock(const GlobalBlock&) = delete;
    GlobalBlock& operator=(const GlobalBlock&) = delete;

    HGLOBAL Get() const noexcept { return block_; }
    void Release() noexcept { block_ = nullptr; }

private:
    HGLOBAL block_;
};

} // namespace

void SetClipboardText(HWND aOwner, std::wstring_view aText)
{
    const std::size_t bytes = aText.size() * sizeof(wchar_t);
    GlobalBlock block(bytes + sizeof(wchar_t));
    auto* text = static_cast<wchar_t*>(GlobalLock(block.Get()));
    if (text == nullptr)
        ThrowLastError(kContext);
    std::memcpy(text, aText.data(), bytes);
    text[aText.size()] = L'\0';
    GlobalUnlock(block.Get());

    const OpenedClipboard clipboard(aOwner);
    if (!EmptyClipboard())
        ThrowLastError(kContext);
    if (SetClipboardData(CF_UNICODETEXT, block.Get()) == nullptr)
        ThrowLastError(kContext);
    block.Release();
}
