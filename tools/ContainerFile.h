// ClamAV's database containers (.cvd, .cld) as the signature tool opens them: a file source for
// the reader, and what the tool makes of each member's type.
#pragma once

#include "container/Reader.h"

#include <string>
#include <string_view>

enum class TMemberRole {
    Signatures,  // a file kind the builder reads
    IgnoreList,  // .ign2
    Metadata,    // COPYING and the .info list: the container's own
    Unsupported,
};

TMemberRole MemberRole(std::string_view aName);
// The member's type as reported: its extension in lower case with the dot (".ldb"), or the
// whole name when it has none.
std::string MemberType(std::string_view aName);

// Whether aPath names a container (by its extension), and which kind.
bool IsContainerPath(const std::wstring& aPath, cvd::Kind& aKind);

// Reads the container at aPath with CNG's digests. Throws AppError when the file cannot be
// opened or read, cvd::Error when it is malformed or fails its checks.
cvd::Header ReadContainerFile(const std::wstring& aPath, cvd::Kind aKind, cvd::MemberVisitor& aVisitor, bool aVerify);
