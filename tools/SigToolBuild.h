// "build": ClamAV's signature files and containers into a stamped signature database.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

struct TBuildOptions {
    std::wstring Output;
    std::vector<std::wstring> Inputs;
    // Lines that use a ClamAV feature outside the supported subset are counted and skipped.
    bool SkipUnsupported = false;
};

// Reads every input, refuses the whole build on any refused line (each printed as
// "file:line: reason" on aErr), writes nothing then, and otherwise writes to Output the padded
// payload with its MD5 trailer (signature.dat's format) or, when Output ends in ".qdb", the
// payload without padding or size cap and with its SHA-256 trailer. Returns the tool's exit code. Throws AppError when writing fails.
int BuildDatabase(const TBuildOptions& aOptions, std::ostream& aOut, std::ostream& aErr);
