// Printing signature counts.
#include "tools/SigToolReport.h"

#include <ostream>

void ReportSignatureCounts(const detect::SignatureCounts& aCounts, std::ostream& aOut)
{
    aOut << "MD5 signatures: " << aCounts.Md5 << "\nSHA-1 signatures: " << aCounts.Sha1
         << "\nSHA-256 signatures: " << aCounts.Sha256 << "\nBody signatures: " << aCounts.Body << '\n';
}

void Add(detect::SignatureCounts& aSum, const detect::SignatureCounts& aMore)
{
    aSum.Md5 += aMore.Md5;
    aSum.Sha1 += aMore.Sha1;
    aSum.Sha256 += aMore.Sha256;
    aSum.Body += aMore.Body;
}
