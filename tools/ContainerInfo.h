// "info" on a ClamAV container: its header, its checks, its members by type and what the
// signature members hold.
#pragma once

#include "container/Reader.h"

#include <iosfwd>
#include <string>

// Describes the container at aPath on aOut. Returns kSigToolOk when it passes its checks,
// kSigToolInvalidInput otherwise. Throws AppError when the file cannot be opened or read.
int DescribeContainer(const std::wstring& aPath, cvd::Kind aKind, std::ostream& aOut);
