#include "toolkit/ToolkitListView.h"

#include <commctrl.h>

#include <algorithm>

void ShowListSortArrow(HWND aList, int aColumnCount, std::optional<int> aSorted, bool aDescending)
{
    HWND header = ListView_GetHeader(aList);
    for (int i = 0; i < aColumnCount; ++i) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        Header_GetItem(header, i, &item);
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (aSorted == i)
            item.fmt |= aDescending ? HDF_SORTDOWN : HDF_SORTUP;
        Header_SetItem(header, i, &item);
    }
}

void FitFirstListColumn(HWND aList, int aColumnCount, int aMinWidth)
{
    RECT client;
    GetClientRect(aList, &client);
    int rest = client.right;
    for (int column = 1; column < aColumnCount; ++column)
        rest -= ListView_GetColumnWidth(aList, column);
    ListView_SetColumnWidth(aList, 0, std::max(rest, aMinWidth));
}

void LimitClientSize(HWND aWindow, SIZE aMinClient, MINMAXINFO& aLimits)
{
    RECT window;
    RECT client;
    if (!GetWindowRect(aWindow, &window) || !GetClientRect(aWindow, &client))
        return;
    const int frameWidth = (window.right - window.left) - client.right;
    const int frameHeight = (window.bottom - window.top) - client.bottom;
    aLimits.ptMinTrackSize = {aMinClient.cx + frameWidth, aMinClient.cy + frameHeight};
}
