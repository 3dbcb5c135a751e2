// Building a signature database: every input checked, then one payload written and stamped.
#include "tools/SigToolBuild.h"

#include "detect/DatabaseBuilder.h"
#include "detect/Error.h"
#include "detect/PayloadReader.h"
#include "platform/Error.h"
#include "platform/Md5.h"
#include "platform/Utf8.h"
#include "tools/BuildTally.h"
#include "tools/ContainerFile.h"
#include "tools/ContainerInput.h"
#include "tools/SigTool.h"
#include "tools/SigToolReport.h"

#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
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

// The payload and its MD5 trailer, digested by the same code that -sig uses.
void WritePayload(const std::wstring& aPath, const std::vector<std::uint8_t>& aPayload)
{
    const Md5Digest trailer = Md5(aPayload.data(), aPayload.size());
    std::ofstream file(std::filesystem::path(aPath), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(aPayload.data()), static_cast<std::streamsize>(aPayload.size()));
    file.write(reinterpret_cast<const char*>(trailer.data()), static_cast<std::streamsize>(trailer.size()));
    file.close();
    if (!file)
        throw AppError(L"Cannot write file \"" + aPath + L"\"");
}

// The stamped payload goes to a temporary file beside aOutput, which then takes aOutput's place:
// a failure leaves aOutput as it was.
void WriteStamped(const std::wstring& aOutput, const std::vector<std::uint8_t>& aPayload)
{
    const std::wstring temporary = aOutput + L".partial";
    try {
        WritePayload(temporary, aPayload);
        if (!MoveFileExW(temporary.c_str(), aOutput.c_str(), MOVEFILE_REPLACE_EXISTING))
            ThrowLastError(L"Cannot write file \"" + aOutput + L"\": ");
    } catch (...) {
        DeleteFileW(temporary.c_str());
        throw;
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
    if (builder.Counts().Total() == 0) {
        aErr << "no signatures in the input; nothing written\n";
        return kSigToolInvalidInput;
    }
    std::vector<std::uint8_t> payload;
    try {
        payload = builder.Build();
        // The program's own reader, with its memory budget, must accept what is written.
        detect::LoadDatabase(payload.data(), payload.size());
    } catch (const detect::DatabaseTooLargeError& error) {
        aErr << error.what() << "; nothing written\n";
        return kSigToolInvalidInput;
    } catch (const detect::DatabaseError& error) {
        aErr << "the program would refuse this database: " << error.what() << "; nothing written\n";
        return kSigToolInvalidInput;
    }
    WriteStamped(aOptions.Output, payload);
    aOut << "Written: " << ToUtf8(aOptions.Output) << '\n';
    ReportCounts(builder.Counts(), tally, aOut);
    return kSigToolOk;
}
