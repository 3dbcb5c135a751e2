// A container's members as inputs of a build: signature files as if given on the command line,
// its ignore lists ahead of every signature, anything else counted by type or refused.
#pragma once

#include "container/Reader.h"
#include "detect/DatabaseBuilder.h"
#include "tools/BuildTally.h"

#include <iosfwd>
#include <string>

// Adds the .ign2 members of the container at aPath, after checking its digests: the first read
// of every container, before any signature is added.
void AddContainerIgnoreLists(detect::DatabaseBuilder& aBuilder, const std::wstring& aPath, cvd::Kind aKind,
    TBuildTally& aTally, std::ostream& aErr);

// Adds the signature members of the container at aPath in the tar's order (its digests checked
// by AddContainerIgnoreLists).
// A member of an unsupported type is counted by type when aSkipUnsupported, refused otherwise;
// a container that cannot be read or fails its checks is refused as a whole.
void AddContainer(detect::DatabaseBuilder& aBuilder, const std::wstring& aPath, cvd::Kind aKind, bool aSkipUnsupported,
    TBuildTally& aTally, std::ostream& aErr);
