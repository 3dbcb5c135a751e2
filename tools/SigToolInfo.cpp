// Describing a signature database: its size, its trailer, its header and whether it loads.
#include "tools/SigToolInfo.h"

#include "detect/Database.h"
#include "detect/DatabaseBuilder.h"
#include "detect/Error.h"
#include "detect/PayloadReader.h"
#include "platform/File.h"
#include "platform/Utf8.h"
#include "signature/Signature.h"
#include "tools/ContainerFile.h"
#include "tools/ContainerInfo.h"
#include "tools/SigTool.h"
#include "tools/SigToolReport.h"
#include "tools/StampedFile.h"

#include <limits>
#include <ostream>
#include <vector>

namespace {

struct StampedFile {
    std::vector<std::uint8_t> Payload;
    bool TrailerCorrect = false;
};

StampedFile ReadStamped(File& aFile, std::int64_t aSize, TStamp aStamp)
{
    const std::size_t trailerLength = aStamp == TStamp::Md5 ? 16 : 32;
    StampedFile stamped;
    stamped.Payload.resize(static_cast<std::size_t>(aSize) - trailerLength);
    aFile.ReadBuffer(stamped.Payload.data(), stamped.Payload.size());
    std::vector<std::uint8_t> trailer(trailerLength);
    aFile.ReadBuffer(trailer.data(), trailer.size());
    stamped.TrailerCorrect = Trailer(aStamp, stamped.Payload) == trailer;
    return stamped;
}

// The sizes a file of the kind may have, or the text telling them.
const char* SizeProblem(std::int64_t aSize, TStamp aStamp)
{
    if (aStamp == TStamp::Md5)
        return aSize < TSignature::kMinFileSize || aSize > TSignature::kMaxFileSize
            ? "a signature database has 16777216 to 50331648 bytes" : nullptr;
    constexpr std::int64_t kLeast = detect::format::HeaderLength + 32;
    if (aSize < kLeast)
        return "a .qdb file holds at least a 128-byte header and a 32-byte trailer";
    return static_cast<std::uint64_t>(aSize) > std::numeric_limits<std::size_t>::max() / 2
        ? "too large for this edition's address space" : nullptr;
}

// The header's facts, then the full check that Quorvane makes when it loads the file.
bool DescribePayload(const std::vector<std::uint8_t>& aPayload, TStamp aStamp, std::ostream& aOut)
{
    const detect::PayloadInfo info = detect::InspectPayload(aPayload.data(), aPayload.size());
    if (!info.Ours) {
        aOut << "Format: opaque payload (no signature database header; detects nothing)\n";
        return aStamp == TStamp::Md5;
    }
    aOut << "Format version: " << info.Version << '\n';
    ReportSignatureCounts(info.Counts, aOut);
    try {
        detect::LoadDatabase(aPayload.data(), aPayload.size());
    } catch (const detect::Error& error) {
        aOut << "Database: " << error.what() << '\n';
        return false;
    }
    aOut << "Database: valid\n";
    return true;
}

} // namespace

int DescribeDatabase(const std::wstring& aPath, std::ostream& aOut)
{
    cvd::Kind kind{};
    if (IsContainerPath(aPath, kind))
        return DescribeContainer(aPath, kind, aOut);
    File file = File::OpenExisting(aPath, File::Access::Read, FILE_SHARE_READ);
    const std::int64_t size = file.Size();
    aOut << "File: " << ToUtf8(aPath) << "\nSize: " << size << " bytes\n";
    const TStamp stamp = StampFor(aPath);
    if (const char* problem = SizeProblem(size, stamp)) {
        aOut << "Result: invalid (" << problem << ")\n";
        return kSigToolInvalidInput;
    }
    const StampedFile stamped = ReadStamped(file, size, stamp);
    aOut << (stamp == TStamp::Md5 ? "MD5" : "SHA-256") << " trailer: " << (stamped.TrailerCorrect ? "correct" : "incorrect")
         << '\n';
    const bool payloadUsable = DescribePayload(stamped.Payload, stamp, aOut);
    const bool valid = stamped.TrailerCorrect && payloadUsable;
    aOut << "Result: " << (valid ? "valid" : "invalid") << '\n';
    return valid ? kSigToolOk : kSigToolInvalidInput;
}
