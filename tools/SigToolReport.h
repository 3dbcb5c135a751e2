// The signature counts as the tool's commands print them.
#pragma once

#include "detect/SignatureCounts.h"

#include <iosfwd>

// "MD5 signatures: N" and the other kinds, then the allow lists' sizes, one line each.
void ReportSignatureCounts(const detect::SignatureCounts& aCounts, std::ostream& aOut);

void Add(detect::SignatureCounts& aSum, const detect::SignatureCounts& aMore);
