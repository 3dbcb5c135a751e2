// "info": the format version, the counts by kind and the state of a signature database.
#pragma once

#include <iosfwd>
#include <string>

// Describes the file at aPath on aOut. Returns kSigToolOk when the trailer is correct and the
// payload is opaque or a valid database, kSigToolInvalidInput otherwise. Throws AppError when
// the file cannot be read.
int DescribeDatabase(const std::wstring& aPath, std::ostream& aOut);
