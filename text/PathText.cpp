// Path text rules.
#include "text/PathText.h"

#include <algorithm>

bool HasForbiddenPathChars(std::wstring_view aPath) noexcept
{
    return std::ranges::any_of(aPath, IsForbiddenPathChar);
}
