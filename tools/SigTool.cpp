// The signature tool's command line: one command word, then its options and files.
#include "tools/SigTool.h"

#include "detect/Error.h"
#include "platform/Error.h"
#include "platform/Utf8.h"
#include "tools/SigToolBuild.h"
#include "tools/SigToolInfo.h"

#include <new>
#include <optional>
#include <ostream>

namespace {

constexpr char kUsage[] = "usage: quorvane-sigtool build OUT INPUT... [--skip-unsupported]\n"
                          "       quorvane-sigtool info FILE\n"
                          "INPUT: ClamAV .hdb, .hsb, .ndb (or .hdu, .hsu, .ndu) files, .fp and .sfp allow lists and .ign2\n"
                          "       ignore lists (UTF-8 or ASCII),\n"
                          "       and ClamAV .cvd and .cld containers holding them.\n"
                          "OUT: a name ending in .qdb gets a .qdb file (SHA-256 trailer, no size cap), any other\n"
                          "     signature.dat's format (MD5 trailer, 16 to 48 MiB).\n"
                          "FILE: a database the tool built, or a ClamAV .cvd or .cld container.\n";

int Usage(std::ostream& aErr)
{
    aErr << kUsage;
    return kSigToolUsage;
}

// "build" OUT INPUT... with --skip-unsupported anywhere among them; empty when the words do not fit.
std::optional<TBuildOptions> ParseBuild(const std::vector<std::wstring>& aArguments)
{
    TBuildOptions options;
    std::vector<std::wstring> files;
    for (std::size_t next = 1; next < aArguments.size(); ++next) {
        if (!aArguments[next].starts_with(L"--"))
            files.push_back(aArguments[next]);
        else if (aArguments[next] == L"--skip-unsupported")
            options.SkipUnsupported = true;
        else
            return std::nullopt;
    }
    if (files.size() < 2)
        return std::nullopt;
    options.Output = files[0];
    options.Inputs.assign(files.begin() + 1, files.end());
    return options;
}

int Dispatch(const std::vector<std::wstring>& aArguments, std::ostream& aOut, std::ostream& aErr)
{
    if (!aArguments.empty() && aArguments[0] == L"build") {
        const std::optional<TBuildOptions> options = ParseBuild(aArguments);
        return options ? BuildDatabase(*options, aOut, aErr) : Usage(aErr);
    }
    if (aArguments.size() == 2 && aArguments[0] == L"info")
        return DescribeDatabase(aArguments[1], aOut);
    return Usage(aErr);
}

} // namespace

int RunSigTool(const std::vector<std::wstring>& aArguments, std::ostream& aOut, std::ostream& aErr)
{
    try {
        return Dispatch(aArguments, aOut, aErr);
    } catch (const AppError& error) {
        aErr << "quorvane-sigtool: " << ToUtf8(error.Message()) << '\n';
    } catch (const detect::Error& error) {
        aErr << "quorvane-sigtool: " << error.what() << '\n';
    } catch (const std::bad_alloc&) {
        aErr << "quorvane-sigtool: out of memory\n";
    } catch (...) {
        aErr << "quorvane-sigtool: unexpected error\n";
    }
    return kSigToolInvalidInput;
}
