// The command line of quorvane-scan: its options and the paths to scan.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct TScanToolOptions {
    std::vector<std::wstring> Paths;
    bool Archives = false;
    bool Heuristic = false;
    bool Memory = false;
    bool Registry = false;
    bool AllFiles = false;
    bool Quarantine = false;
    bool Delete = false;
    bool Json = false;
    bool Quiet = false;
    bool Help = false;
    bool Version = false;
    // Empty: signature.dat beside the program.
    std::wstring Database;
    // Empty: no report.
    std::wstring Report;
};

// The options, or the usage error's text: an unknown option, a missing value, no PATH, or
// --quarantine with --delete. "--" ends the options; --help and --version need no PATH.
struct TScanToolParse {
    TScanToolOptions Options;
    std::optional<std::wstring> Error;
};
TScanToolParse ParseScanToolArguments(const std::vector<std::wstring>& aArguments);

extern const char kScanToolUsage[];
