// Printing signature counts.
#include "tools/SigToolReport.h"

#include <ostream>

void ReportSignatureCounts(const detect::SignatureCounts& aCounts, std::ostream& aOut)
{
    aOut << "MD5 signatures: " << aCounts.Md5 << "\nSHA-1 signatures: " << aCounts.Sha1
         << "\nSHA-256 signatures: " << aCounts.Sha256 << "\nBody signatures: " << aCounts.Body
         << "\nMD5 allow-list entries (.fp): " << aCounts.AllowMd5
         << "\nSHA-256 allow-list entries (.sfp): " << aCounts.AllowSha256 << '\n';
}

void Add(detect::SignatureCounts& aSum, const detect::SignatureCounts& aMore)
{
    aSum.Md5 += aMore.Md5;
    aSum.Sha1 += aMore.Sha1;
    aSum.Sha256 += aMore.Sha256;
    aSum.Body += aMore.Body;
    aSum.AllowMd5 += aMore.AllowMd5;
    aSum.AllowSha256 += aMore.AllowSha256;
}
