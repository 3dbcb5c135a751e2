// "info": the format version, the counts by kind and the state of a signature database
// (signature.dat's format or a .qdb), or what a ClamAV container holds.
#pragma once

#include <iosfwd>
#include <string>

// Describes the file at aPath on aOut. Returns kSigToolOk when the trailer (MD5, or SHA-256 for
// a name ending in ".qdb") is correct and the payload is a valid database or, in signature.dat's
// format, opaque; a container when it passes its checks. kSigToolInvalidInput otherwise. Throws AppError when
// the file cannot be read.
int DescribeDatabase(const std::wstring& aPath, std::ostream& aOut);
