// The layout of a form at its DPI: fonts, text extents and the placement of controls.
#include "toolkit/ToolkitForm.h"

#include "platform/DeviceContext.h"
#include "toolkit/WindowText.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace {

// Width of aText in one line on aDc.
int LineWidth(HDC aDc, std::wstring_view aText)
{
    RECT rect{0, 0, 0, 0};
    DrawTextW(aDc, aText.data(), static_cast<int>(aText.size()), &rect, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    return rect.right;
}

// The width at which aText, wrapped at words, keeps a bracketed group such as "(Full Scan)" on one
// line: lines are filled up to aMaxWidth breaking only at spaces outside brackets, and the widest
// of them, with a space, is the width. A group that cannot fit alone is left to the ordinary wrap.
int BracketKeepingWidth(HDC aDc, std::wstring_view aText, int aMaxWidth)
{
    std::vector<size_t> breaks;
    int depth = 0;
    for (size_t i = 0; i < aText.size(); ++i) {
        if (aText[i] == L'(')
            ++depth;
        else if (aText[i] == L')' && depth > 0)
            --depth;
        else if (aText[i] == L' ' && depth == 0)
            breaks.push_back(i);
    }
    breaks.push_back(aText.size());
    const auto lineWidth = [&](size_t aStart, size_t aEnd) { return LineWidth(aDc, aText.substr(aStart, aEnd - aStart)); };
    int width = 0;
    size_t start = 0;
    for (size_t end = 0; end < breaks.size(); ++end) {
        while (end + 1 < breaks.size() && lineWidth(start, breaks[end + 1]) <= aMaxWidth)
            ++end;
        const int line = lineWidth(start, breaks[end]);
        if (line > aMaxWidth)
            return aMaxWidth;
        width = std::max(width, line);
        start = breaks[end] + 1;
    }
    // Room for the space at a line's end: Wine's word wrap wants it to fit as well.
    return std::min(width + LineWidth(aDc, L" "), aMaxWidth);
}

} // namespace

void TForm::CreateFonts()
{
    fonts_[0] = theme::CreateFontFor(theme::FontKind::Normal, dpi_, theme_.LargePoints);
    fonts_[1] = theme::CreateFontFor(theme::FontKind::Bold, dpi_, theme_.LargePoints);
    fonts_[2] = FittingLargeFont();
}

void TForm::FitLargeFont(std::vector<std::wstring> aTexts, int aWidth)
{
    largeTexts_ = std::move(aTexts);
    largeWidth_ = aWidth;
    fonts_[2] = FittingLargeFont();
    ApplyLayout();
}

GdiObject TForm::FittingLargeFont() const
{
    constexpr int kSmallestPoints = 8;
    constexpr int kButtonPadding = 12;
    for (int points = theme_.LargePoints;; --points) {
        GdiObject font = theme::CreateFontFor(theme::FontKind::Large, dpi_, points);
        const bool fits = std::all_of(largeTexts_.begin(), largeTexts_.end(), [&](const std::wstring& aText) {
            return TextWidth(static_cast<HFONT>(font.Get()), aText) <= Scale(largeWidth_ - kButtonPadding);
        });
        if (fits || points == kSmallestPoints)
            return font;
    }
}

int TForm::TextWidth(HFONT aFont, const std::wstring& aText) const
{
    const WindowDc dc(handle_);
    const SelectedObject font(dc.Get(), aFont);
    SIZE size{};
    GetTextExtentPoint32W(dc.Get(), aText.c_str(), static_cast<int>(aText.size()), &size);
    return size.cx;
}

HFONT TForm::Font(theme::FontKind aKind) const
{
    return static_cast<HFONT>(fonts_[static_cast<int>(aKind)].Get());
}

void TForm::ApplyLayout()
{
    for (const Placement& placement : placements_)
        Place(placement);
}

void TForm::Place(const Placement& aPlacement)
{
    constexpr int kGap = 4;
    const theme::FontKind font = aPlacement.Placing.Font;
    SendMessageW(aPlacement.Handle, WM_SETFONT, reinterpret_cast<WPARAM>(Font(font)), FALSE);
    const TBounds& bounds = aPlacement.Bounds;
    POINT at{Scale(bounds.X), Scale(bounds.Y)};
    SIZE size{Scale(bounds.Width), Scale(bounds.Height)};
    if (bounds.Width == 0 || bounds.Height == 0) {
        const SIZE text = TextExtent(aPlacement.Handle, font, Scale(aPlacement.Placing.MaxWidth));
        size.cx = bounds.Width == 0 ? text.cx : size.cx;
        size.cy = bounds.Height == 0 ? text.cy : size.cy;
    }
    if (HWND after = aPlacement.Placing.After) {
        RECT previous;
        GetWindowRect(after, &previous);
        MapWindowPoints(nullptr, handle_, reinterpret_cast<POINT*>(&previous), 2);
        const int shift = std::max(0L, previous.right + Scale(kGap) - at.x);
        at.x += shift;
        if (bounds.Width != 0)
            size.cx -= shift;
    }
    SetWindowPos(aPlacement.Handle, nullptr, at.x, at.y, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

// The size of a control's text in one line, or wrapped at aMaxWidth when that is not 0 and
// one line would be wider.
SIZE TForm::TextExtent(HWND aControl, theme::FontKind aFont, int aMaxWidth) const
{
    const std::wstring text = WindowText(aControl);
    const WindowDc dc(aControl);
    const SelectedObject font(dc.Get(), Font(aFont));
    RECT rect{0, 0, 0, 0};
    DrawTextW(dc.Get(), text.empty() ? L" " : text.c_str(), -1, &rect, DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE);
    if (aMaxWidth != 0 && rect.right > aMaxWidth) {
        // The label wraps at its own width, so it gets the whole wrap width, not just its widest line.
        const int wrapWidth = BracketKeepingWidth(dc.Get(), text, aMaxWidth);
        rect = {0, 0, wrapWidth, 0};
        DrawTextW(dc.Get(), text.c_str(), -1, &rect, DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK);
        rect.right = wrapWidth;
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}
