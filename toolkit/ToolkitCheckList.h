// A list view with a check box on every item, one column, single selection and no focus rectangle,
// whose items stay in ascending order of their text with ASCII letter case ignored.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <string_view>

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
    HWND list_ = nullptr;
};
