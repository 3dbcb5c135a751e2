// The command line of quorvane-scan.
#include "tools/ScanToolOptions.h"

#include <utility>

const char kScanToolUsage[] =
    "usage: quorvane-scan [OPTIONS] PATH...\n"
    "  --all-files        read every file inside folders, not only the listed extensions\n"
    "  --archives         look inside archives\n"
    "  --heuristic        also report possible threats\n"
    "  --memory           also scan the modules of running processes\n"
    "  --registry         also scan the files registered as COM servers\n"
    "  --database FILE    use FILE instead of signature.dat beside the program\n"
    "                     (the .qdb files in the signatures folder beside it still load)\n"
    "  --quarantine       move each infected file into quarantine\n"
    "  --delete           delete each infected file\n"
    "  --report FILE.csv  write the results as CSV\n"
    "  --json             one JSON object per line instead of text\n"
    "  --quiet            print only findings and the summary\n"
    "  --help, --version\n"
    "Exit code: 1 when a threat was found, 2 on an error or a stop, 0 otherwise.\n";

namespace {

struct Flag {
    const wchar_t* Name;
    bool TScanToolOptions::*Field;
};

constexpr Flag kFlags[] = {
    {L"--all-files", &TScanToolOptions::AllFiles},
    {L"--archives", &TScanToolOptions::Archives},
    {L"--heuristic", &TScanToolOptions::Heuristic},
    {L"--memory", &TScanToolOptions::Memory},
    {L"--registry", &TScanToolOptions::Registry},
    {L"--quarantine", &TScanToolOptions::Quarantine},
    {L"--delete", &TScanToolOptions::Delete},
    {L"--json", &TScanToolOptions::Json},
    {L"--quiet", &TScanToolOptions::Quiet},
    {L"--help", &TScanToolOptions::Help},
    {L"--version", &TScanToolOptions::Version},
};

struct Valued {
    const wchar_t* Name;
    std::wstring TScanToolOptions::*Field;
};

constexpr Valued kValued[] = {
    {L"--database", &TScanToolOptions::Database},
    {L"--report", &TScanToolOptions::Report},
};

// Applies the option aArguments[aIndex], moving aIndex past its value; false when it is unknown
// or its value is missing, with aError set.
bool ApplyOption(const std::vector<std::wstring>& aArguments, std::size_t& aIndex, TScanToolOptions& aOptions,
    std::wstring& aError)
{
    const std::wstring& word = aArguments[aIndex];
    for (const Flag& flag : kFlags) {
        if (word == flag.Name) {
            aOptions.*flag.Field = true;
            return true;
        }
    }
    for (const Valued& valued : kValued) {
        if (word == valued.Name) {
            if (aIndex + 1 >= aArguments.size() || aArguments[aIndex + 1].empty()) {
                aError = word + L" needs a value";
                return false;
            }
            aOptions.*valued.Field = aArguments[++aIndex];
            return true;
        }
    }
    aError = L"unknown option " + word;
    return false;
}

} // namespace

TScanToolParse ParseScanToolArguments(const std::vector<std::wstring>& aArguments)
{
    TScanToolParse parse;
    TScanToolOptions& options = parse.Options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < aArguments.size(); ++i) {
        const std::wstring& word = aArguments[i];
        if (!optionsEnded && word == L"--") {
            optionsEnded = true;
        } else if (!optionsEnded && word.size() > 1 && word[0] == L'-') {
            std::wstring error;
            if (!ApplyOption(aArguments, i, options, error)) {
                parse.Error = std::move(error);
                return parse;
            }
        } else {
            options.Paths.push_back(word);
        }
    }
    if (options.Help || options.Version)
        return parse;
    if (options.Quarantine && options.Delete)
        parse.Error = L"--quarantine and --delete exclude each other";
    else if (options.Paths.empty())
        parse.Error = L"no PATH given";
    return parse;
}
