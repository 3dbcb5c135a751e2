#include "scan/ListScanner.h"

bool TListScanner::ScanNext()
{
    if (FCurrent == -1) {
        FCount = BuildList();
        FCurrent = FCount == 0 ? -1 : 0;
    } else if (static_cast<std::size_t>(FCurrent) + 1 < FCount) {
        ++FCurrent;
    } else {
        FCurrent = -1;
    }
    if (FCurrent == -1)
        return false;
    ScanEntry(static_cast<std::size_t>(FCurrent), Percentage(FCurrent, FCount));
    return true;
}
