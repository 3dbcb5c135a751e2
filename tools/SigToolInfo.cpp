// Describing a signature database: its size, its trailer, its header and whether it loads.
#include "tools/SigToolInfo.h"

#include "detect/Database.h"
#include "detect/DatabaseBuilder.h"
#include "detect/Error.h"
#include "detect/PayloadReader.h"
#include "platform/File.h"
#include "platform/Md5.h"
#include "platform/Utf8.h"
#include "signature/Signature.h"
#include "tools/ContainerFile.h"
#include "tools/ContainerInfo.h"
#include "tools/SigTool.h"
#include "tools/SigToolReport.h"

#include <ostream>
#include <vector>

namespace {

struct StampedFile {
    std::vector<std::uint8_t> Payload;
    bool TrailerCorrect = false;
};

StampedFile ReadStamped(File& aFile, std::int64_t aSize)
{
    StampedFile stamped;
    stamped.Payload.resize(static_cast<std::size_t>(aSize) - sizeof(Md5Digest));
    aFile.ReadBuffer(stamped.Payload.data(), stamped.Payload.size());
    Md5Digest trailer{};
    aFile.ReadBuffer(trailer.data(), trailer.size());
    stamped.TrailerCorrect = Md5(stamped.Payload.data(), stamped.Payload.size()) == trailer;
    return stamped;
}

// The header's facts, then the full check that Quorvane makes when it loads the file.
bool DescribePayload(const std::vector<std::uint8_t>& aPayload, std::ostream& aOut)
{
    const detect::PayloadInfo info = detect::InspectPayload(aPayload.data(), aPayload.size());
    if (!info.Ours) {
        aOut << "Format: opaque payload (no signature database header; detects nothing)\n";
        return true;
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
    if (size < TSignature::kMinFileSize || size > TSignature::kMaxFileSize) {
        aOut << "Result: invalid (a signature database has 16777216 to 50331648 bytes)\n";
        return kSigToolInvalidInput;
    }
    const StampedFile stamped = ReadStamped(file, size);
    aOut << "MD5 trailer: " << (stamped.TrailerCorrect ? "correct" : "incorrect") << '\n';
    const bool payloadUsable = DescribePayload(stamped.Payload, aOut);
    const bool valid = stamped.TrailerCorrect && payloadUsable;
    aOut << "Result: " << (valid ? "valid" : "invalid") << '\n';
    return valid ? kSigToolOk : kSigToolInvalidInput;
}
