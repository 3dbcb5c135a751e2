// Building a signature database: every input checked, then one payload written and stamped
// (signature.dat's format, or a .qdb's when the output's name says so).
#include "tools/SigToolBuild.h"

#include "detect/DatabaseBuilder.h"
#include "detect/Error.h"
#include "detect/PayloadReader.h"
#include "platform/Error.h"
#include "platform/Utf8.h"
#include "tools/BuildTally.h"
#include "tools/ContainerFile.h"
#include "tools/ContainerInput.h"
#include "tools/SigTool.h"
#include "tools/SigToolReport.h"
#include "tools/StampedFile.h"

#include <algorithm>
#include <filesystem>
#include <ostream>

namespace {

// Adds one input file; each refused line is printed as "file:line: reason".
void AddInput(detect::DatabaseBuilder& aBuilder, const std::wstring& aInput, bool aSkipUnsupported,
    TBuildTally& aTally, std::ostream& aErr)
{
    const std::string name = ToUtf8(aInput);
    detect::AddReport report;
    try {
        report = aBuilder.AddFile(std::filesystem::path(aInput));
    } catch (const detect::Error& error) {
        Refuse(name, error.what(), aTally, aErr);
        return;
    }
    Tally(report, name, aSkipUnsupported, aTally, aErr);
}

// Every input in the command line's order, after the ignore lists of all of them: .ign2 files
// (sorted to the front by the caller) and the .ign2 members of containers.
void AddInputs(detect::DatabaseBuilder& aBuilder, const std::vector<std::wstring>& aInputs, bool aSkipUnsupported,
    TBuildTally& aTally, std::ostream& aErr)
{
    cvd::Kind kind{};
    for (const std::wstring& input : aInputs) {
        if (IsContainerPath(input, kind))
            AddContainerIgnoreLists(aBuilder, input, kind, aTally, aErr);
    }
    if (aTally.Refused != 0)
        return;
    for (const std::wstring& input : aInputs) {
        if (IsContainerPath(input, kind))
            AddContainer(aBuilder, input, kind, aSkipUnsupported, aTally, aErr);
        else
            AddInput(aBuilder, input, aSkipUnsupported, aTally, aErr);
    }
}

void ReportCounts(const detect::SignatureCounts& aCounts, const TBuildTally& aTally, std::ostream& aOut)
{
    ReportSignatureCounts(aCounts, aOut);
    if (aTally.Skipped != 0)
        aOut << "Unsupported lines skipped: " << aTally.Skipped << '\n';
    if (aTally.LevelSkipped != 0)
        aOut << "Lines skipped for their functionality level: " << aTally.LevelSkipped << '\n';
    if (aTally.Ignored != 0)
        aOut << "Signatures dropped by ignore lists: " << aTally.Ignored << '\n';
    for (const auto& [type, count] : aTally.SkippedTypes)
        aOut << "Skipped files of type " << type << ": " << count << '\n';
}

} // namespace

int BuildDatabase(const TBuildOptions& aOptions, std::ostream& aOut, std::ostream& aErr)
{
    detect::DatabaseBuilder builder;
    TBuildTally tally;
    // Ignore lists apply to every input, wherever they stand on the command line.
    std::vector<std::wstring> inputs = aOptions.Inputs;
    std::stable_partition(inputs.begin(), inputs.end(),
        [](const std::wstring& aInput) { return detect::IsIgnoreListName(ToUtf8(aInput)); });
    AddInputs(builder, inputs, aOptions.SkipUnsupported, tally, aErr);
    if (tally.Refused != 0) {
        aErr << tally.Refused << " refused; nothing written\n";
        return kSigToolInvalidInput;
    }
    const detect::SignatureCounts counts = builder.Counts();
    if (counts.Total() == 0 && counts.AllowMd5 == 0 && counts.AllowSha256 == 0) {
        aErr << "no signatures in the input; nothing written\n";
        return kSigToolInvalidInput;
    }
    const TStamp stamp = StampFor(aOptions.Output);
    std::vector<std::uint8_t> payload;
    try {
        payload = stamp == TStamp::Sha256 ? builder.BuildQdb() : builder.Build();
        // The program's own reader, with its memory budget, must accept what is written.
        detect::LoadDatabase(payload.data(), payload.size());
    } catch (const detect::DatabaseTooLargeError& error) {
        aErr << error.what() << "; nothing written\n";
        return kSigToolInvalidInput;
    } catch (const detect::DatabaseError& error) {
        aErr << "the program would refuse this database: " << error.what() << "; nothing written\n";
        return kSigToolInvalidInput;
    }
    WriteStamped(aOptions.Output, payload, stamp);
    aOut << "Written: " << ToUtf8(aOptions.Output) << '\n';
    ReportCounts(counts, tally, aOut);
    return kSigToolOk;
}
