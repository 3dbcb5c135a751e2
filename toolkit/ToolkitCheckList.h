// A list view with a check box on every item, one column, single selection and no focus rectangle,
// whose items stay in ascending order of their text with ASCII letter case ignored.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// An item's text and check mark.
using TCheckItem = std::pair<std::wstring, bool>;

class TCheckList {
public:
    TCheckList() = default;
    explicit TCheckList(HWND aList) : list_(aList) {}

    // Sets the extended styles, the single column and the colours of a new list view.
    void Prepare(COLORREF aBack, COLORREF aText);
    // Keeps the one column as wide as the list.
    void FitColumn();

    int Count() const noexcept;
    std::wstring Text(int aIndex) const;
    // The item whose text equals aText with ASCII letter case ignored; -1 when none.
    int Find(std::wstring_view aText) const;
    // Inserts an unchecked item at its place in the order; returns its index. Throws AppError on failure.
    int Add(const std::wstring& aText);
    // Lists aItems as Find, Add when not found and SetChecked would for each in turn, sorting them
    // in memory first: texts equal with ASCII letter case ignored give one item, with the spelling
    // listed first and the last mark. Throws AppError when the list refuses an item, std::bad_alloc.
    void AddItems(std::vector<TCheckItem> aItems);
    void Remove(int aIndex);
    void Clear();
    bool Checked(int aIndex) const noexcept;
    void SetChecked(int aIndex, bool aChecked);
    // The selected item, -1 when none.
    int Selected() const noexcept;
    void Select(int aIndex);

    // Answers NM_CUSTOMDRAW so that the focused item gets no focus rectangle.
    static LRESULT CustomDraw(NMHDR& aHeader);

private:
    // Inserts aText at aPosition with that mark; returns its index. Throws AppError on failure.
    int Insert(int aPosition, const std::wstring& aText, bool aChecked);

    HWND list_ = nullptr;
};
