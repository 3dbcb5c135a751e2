// A sorted list view of checked items.
#include "toolkit/ToolkitCheckList.h"

#include "platform/Error.h"
#include "text/AsciiCase.h"

#include <algorithm>
#include <vector>

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
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = position;
    item.pszText = const_cast<wchar_t*>(aText.c_str());
    const int index = ListView_InsertItem(list_, &item);
    if (index < 0)
        throw AppError(L"The list refused the item " + aText);
    ListView_SetCheckState(list_, index, FALSE);
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
