// Describing a container: each signature member is counted through a builder of its own, so
// that memory stays within the largest member.
#include "tools/ContainerInfo.h"

#include "container/Error.h"
#include "detect/DatabaseBuilder.h"
#include "detect/SignatureParser.h"
#include "platform/File.h"
#include "platform/Utf8.h"
#include "tools/ContainerFile.h"
#include "tools/SigTool.h"
#include "tools/SigToolReport.h"

#include <map>
#include <ostream>

namespace {

std::string_view Text(std::span<const std::uint8_t> aContent)
{
    return {reinterpret_cast<const char*>(aContent.data()), aContent.size()};
}

class TMemberCounts final : public cvd::MemberVisitor {
public:
    bool Wants(std::string_view aName) override
    {
        ++Types[MemberType(aName)];
        const TMemberRole role = MemberRole(aName);
        return role == TMemberRole::Signatures || role == TMemberRole::IgnoreList;
    }
    void Member(std::string_view aName, std::span<const std::uint8_t> aContent) override
    {
        if (MemberRole(aName) == TMemberRole::IgnoreList) {
            IgnoreNames += CountNames(Text(aContent));
            return;
        }
        detect::DatabaseBuilder builder;
        const detect::AddReport report = builder.AddText(*detect::KindFromFileName(aName), Text(aContent));
        Add(Counts, builder.Counts());
        LevelSkipped += report.LevelSkipped;
        for (const detect::LineProblem& problem : report.Problems)
            ++(problem.Problem.Status == detect::ParseStatus::Unsupported ? Unsupported : Refused);
    }

    std::map<std::string, std::uint64_t> Types;
    detect::SignatureCounts Counts;
    std::uint64_t LevelSkipped = 0;
    std::uint64_t Unsupported = 0;
    std::uint64_t Refused = 0;
    std::uint64_t IgnoreNames = 0;

private:
    static std::uint64_t CountNames(std::string_view aText)
    {
        std::uint64_t names = 0;
        for (std::size_t start = 0; start < aText.size();) {
            const std::size_t end = std::min(aText.find('\n', start), aText.size());
            const std::string_view line = aText.substr(start, end - start);
            names += !line.empty() && line != "\r" && line[0] != '#';
            start = end + 1;
        }
        return names;
    }
};

void DescribeHeader(const cvd::Header& aHeader, cvd::Kind aKind, std::ostream& aOut)
{
    aOut << "Format: ClamAV " << (aKind == cvd::Kind::Cvd ? ".cvd" : ".cld") << " container\nBuilt: " << aHeader.Time
         << "\nVersion: " << aHeader.Version << "\nSignatures (header): " << aHeader.Signatures
         << "\nFunctionality level: " << aHeader.Level << "\nBuilder: " << aHeader.Builder << '\n';
}

void DescribeMembers(const TMemberCounts& aCounts, std::ostream& aOut)
{
    for (const auto& [type, count] : aCounts.Types)
        aOut << "Files of type " << type << ": " << count << '\n';
    ReportSignatureCounts(aCounts.Counts, aOut);
    aOut << "Lines skipped for their functionality level: " << aCounts.LevelSkipped
         << "\nUnsupported lines: " << aCounts.Unsupported << "\nRefused lines: " << aCounts.Refused
         << "\nNames on ignore lists: " << aCounts.IgnoreNames << '\n';
}

} // namespace

int DescribeContainer(const std::wstring& aPath, cvd::Kind aKind, std::ostream& aOut)
{
    const std::int64_t size = File::OpenExisting(aPath, File::Access::Read, FILE_SHARE_READ).Size();
    aOut << "File: " << ToUtf8(aPath) << "\nSize: " << size << " bytes\n";
    TMemberCounts counts;
    cvd::Header header;
    try {
        header = ReadContainerFile(aPath, aKind, counts, true);
    } catch (const cvd::Error& error) {
        aOut << "Container: " << error.what() << "\nResult: invalid\n";
        return kSigToolInvalidInput;
    }
    DescribeHeader(header, aKind, aOut);
    aOut << (aKind == cvd::Kind::Cvd ? "Checked: the header's MD5 and the .info list's SHA-256 of each file\n"
                                     : "Checked: the .info list's SHA-256 of each file\n")
         << "Digital signature: not verified (obtain containers through ClamAV's updater, freshclam, which verifies it)\n";
    DescribeMembers(counts, aOut);
    aOut << "Result: valid\n";
    return kSigToolOk;
}
