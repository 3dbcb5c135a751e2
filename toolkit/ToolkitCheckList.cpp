// A sorted list view of checked items.
#include "toolkit/ToolkitCheckList.h"

#include "platform/Error.h"
#include "text/AsciiCase.h"

#include <algorithm>

namespace {

bool TextLess(std::wstring_view aLeft, std::wstring_view aRight) noexcept
{
    return CompareIgnoringAsciiCase(aLeft, aRight) < 0;
}

// aItems in the list's order, one per text: the first spelling with the last mark.
std::vector<TCheckItem> SortedUnique(std::vector<TCheckItem> aItems)
{
    std::stable_sort(aItems.begin(), aItems.end(),
        [](const TCheckItem& aLeft, const TCheckItem& aRight) { return TextLess(aLeft.first, aRight.first); });
    std::vector<TCheckItem> unique;
    unique.reserve(aItems.size());
    for (TCheckItem& item : aItems) {
        if (!unique.empty() && EqualsIgnoringAsciiCase(unique.back().first, item.first))
            unique.back().second = item.second;
        else
            unique.push_back(std::move(item));
    }
    return unique;
}

// Drawing of a shown window off for its scope, then the whole window drawn again: without it the
// list view updates itself after every insertion, which makes a long run of them quadratic.
// A window without WS_VISIBLE is left alone, as WM_SETREDRAW would show it at the end.
class RedrawSuspended {
public:
    explicit RedrawSuspended(HWND aWindow) noexcept
        : window_((GetWindowLongW(aWindow, GWL_STYLE) & WS_VISIBLE) != 0 ? aWindow : nullptr)
    {
        if (window_ != nullptr)
            SendMessageW(window_, WM_SETREDRAW, FALSE, 0);
    }
    ~RedrawSuspended()
    {
        if (window_ == nullptr)
            return;
        SendMessageW(window_, WM_SETREDRAW, TRUE, 0);
        RedrawWindow(window_, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    }
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

private:
    HWND window_;
};

} // namespace

void TCheckList::Prepare(COLORREF aBack, COLORREF aText)
{
    ListView_SetExtendedListViewStyle(list_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    ListView_InsertColumn(list_, 0, &column);
    ListView_SetBkColor(list_, aBack);
    ListView_SetTextBkColor(list_, aBack);
    ListView_SetTextColor(list_, aText);
    FitColumn();
}

void TCheckList::FitColumn()
{
    RECT client;
    GetClientRect(list_, &client);
    ListView_SetColumnWidth(list_, 0, client.right - client.left);
}

int TCheckList::Count() const noexcept
{
    return ListView_GetItemCount(list_);
}

std::wstring TCheckList::Text(int aIndex) const
{
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (;;) {
        LVITEMW item{};
        item.iSubItem = 0;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        const auto length = static_cast<size_t>(
            SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(aIndex), reinterpret_cast<LPARAM>(&item)));
        if (length + 1 < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

int TCheckList::Find(std::wstring_view aText) const
{
    const int count = Count();
    for (int i = 0; i < count; ++i) {
        if (CompareIgnoringAsciiCase(Text(i), aText) == 0)
            return i;
    }
    return -1;
}

int TCheckList::Add(const std::wstring& aText)
{
    int position = 0;
    const int count = Count();
    while (position < count && CompareIgnoringAsciiCase(Text(position), aText) <= 0)
        ++position;
    return Insert(position, aText, false);
}

void TCheckList::AddItems(std::vector<TCheckItem> aItems)
{
    const std::vector<TCheckItem> items = SortedUnique(std::move(aItems));
    std::vector<std::wstring> listed(static_cast<std::size_t>(Count()));
    for (std::size_t i = 0; i < listed.size(); ++i)
        listed[i] = Text(static_cast<int>(i));
    const RedrawSuspended suspended(list_);
    ListView_SetItemCount(list_, static_cast<int>(listed.size() + items.size()));
    // Both runs are in the list's order: one walk places each item, shifted by those inserted.
    auto place = listed.cbegin();
    int inserted = 0;
    for (const auto& [text, checked] : items) {
        place = std::lower_bound(place, listed.cend(), text, TextLess);
        const int index = static_cast<int>(place - listed.cbegin()) + inserted;
        if (place != listed.cend() && EqualsIgnoringAsciiCase(*place, text)) {
            SetChecked(index, checked);
        } else {
            Insert(index, text, checked);
            ++inserted;
        }
    }
}

int TCheckList::Insert(int aPosition, const std::wstring& aText, bool aChecked)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = aPosition;
    item.pszText = const_cast<wchar_t*>(aText.c_str());
    const int index = ListView_InsertItem(list_, &item);
    if (index < 0)
        throw AppError(L"The list refused the item " + aText);
    SetChecked(index, aChecked);
    return index;
}

void TCheckList::Remove(int aIndex)
{
    ListView_DeleteItem(list_, aIndex);
}

void TCheckList::Clear()
{
    ListView_DeleteAllItems(list_);
}

bool TCheckList::Checked(int aIndex) const noexcept
{
    return ListView_GetCheckState(list_, aIndex) != FALSE;
}

void TCheckList::SetChecked(int aIndex, bool aChecked)
{
    ListView_SetCheckState(list_, aIndex, aChecked ? TRUE : FALSE);
}

int TCheckList::Selected() const noexcept
{
    return ListView_GetNextItem(list_, -1, LVNI_SELECTED);
}

void TCheckList::Select(int aIndex)
{
    ListView_SetItemState(list_, aIndex, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_EnsureVisible(list_, aIndex, FALSE);
}

LRESULT TCheckList::CustomDraw(NMHDR& aHeader)
{
    auto& draw = reinterpret_cast<NMLVCUSTOMDRAW&>(aHeader);
    if (draw.nmcd.dwDrawStage == CDDS_PREPAINT)
        return CDRF_NOTIFYITEMDRAW;
    if (draw.nmcd.dwDrawStage == CDDS_ITEMPREPAINT)
        draw.nmcd.uItemState &= ~CDIS_FOCUS;
    return CDRF_DODEFAULT;
}
