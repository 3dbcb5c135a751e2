// Quorvane's look.
#include "ui/ProductTheme.h"

#include "ui/Resources.h"

namespace theme {

HBRUSH BackgroundBrush()
{
    static HBRUSH brush = CreateSolidBrush(kBackground);
    return brush;
}

} // namespace theme

const TTheme& ProductTheme()
{
    static const TTheme productTheme{theme::kBackground, theme::kText, theme::kDimText, theme::kAccent,
                                     theme::kFrame, 14, IDI_APP};
    return productTheme;
}
