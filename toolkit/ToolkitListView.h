// Helpers shared by the windows built around one sortable report list view.
#pragma once

#include <windows.h>

#include <optional>

// Shows the sort arrow on column aSorted of aList's header (up, or down when aDescending) and
// clears it from the other columns of aColumnCount.
void ShowListSortArrow(HWND aList, int aColumnCount, std::optional<int> aSorted, bool aDescending);

// Gives column 0 of aList the client width the other columns of aColumnCount leave, at least aMinWidth.
void FitFirstListColumn(HWND aList, int aColumnCount, int aMinWidth);

// Sets aLimits' minimum tracking size so that aWindow's client area keeps at least aMinClient.
void LimitClientSize(HWND aWindow, SIZE aMinClient, MINMAXINFO& aLimits);
