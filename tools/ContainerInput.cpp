// Feeding a container's members to the builder.
#include "tools/ContainerInput.h"

#include "container/Error.h"
#include "detect/Error.h"
#include "detect/SignatureParser.h"
#include "platform/Error.h"
#include "platform/Utf8.h"
#include "tools/ContainerFile.h"

#include <functional>
#include <new>
#include <ostream>

namespace {

std::string_view Text(std::span<const std::uint8_t> aContent)
{
    return {reinterpret_cast<const char*>(aContent.data()), aContent.size()};
}

class TIgnoreLists final : public cvd::MemberVisitor {
public:
    explicit TIgnoreLists(detect::DatabaseBuilder& aBuilder) : FBuilder(aBuilder) {}
    bool Wants(std::string_view aName) override { return MemberRole(aName) == TMemberRole::IgnoreList; }
    void Member(std::string_view, std::span<const std::uint8_t> aContent) override { FBuilder.AddIgnoreList(Text(aContent)); }

private:
    detect::DatabaseBuilder& FBuilder;
};

class TSignatureMembers final : public cvd::MemberVisitor {
public:
    TSignatureMembers(detect::DatabaseBuilder& aBuilder, const std::string& aContainer, bool aSkipUnsupported,
        TBuildTally& aTally, std::ostream& aErr)
        : FBuilder(aBuilder), FContainer(aContainer), FSkipUnsupported(aSkipUnsupported), FTally(aTally), FErr(aErr)
    {
    }

    bool Wants(std::string_view aName) override
    {
        const TMemberRole role = MemberRole(aName);
        if (role == TMemberRole::Unsupported) {
            if (FSkipUnsupported)
                ++FTally.SkippedTypes[MemberType(aName)];
            else
                Refuse(FContainer + ":" + std::string(aName), "unsupported file type", FTally, FErr);
        }
        return role == TMemberRole::Signatures;
    }
    void Member(std::string_view aName, std::span<const std::uint8_t> aContent) override
    {
        const detect::AddReport report = FBuilder.AddText(*detect::KindFromFileName(aName), Text(aContent));
        Tally(report, FContainer + ":" + std::string(aName), FSkipUnsupported, FTally, FErr);
    }

private:
    detect::DatabaseBuilder& FBuilder;
    const std::string& FContainer;
    bool FSkipUnsupported;
    TBuildTally& FTally;
    std::ostream& FErr;
};

// Runs aRead, turning what refuses the container into one refusal named by it.
void Guarded(const std::wstring& aPath, TBuildTally& aTally, std::ostream& aErr, const std::function<void()>& aRead)
{
    try {
        aRead();
    } catch (const cvd::Error& error) {
        Refuse(ToUtf8(aPath), error.what(), aTally, aErr);
    } catch (const detect::Error& error) {
        Refuse(ToUtf8(aPath), error.what(), aTally, aErr);
    } catch (const AppError& error) {
        Refuse(ToUtf8(aPath), ToUtf8(error.Message()), aTally, aErr);
    }
}

} // namespace

void AddContainerIgnoreLists(detect::DatabaseBuilder& aBuilder, const std::wstring& aPath, cvd::Kind aKind,
    TBuildTally& aTally, std::ostream& aErr)
{
    TIgnoreLists lists(aBuilder);
    Guarded(aPath, aTally, aErr, [&] { ReadContainerFile(aPath, aKind, lists, true); });
}

void AddContainer(detect::DatabaseBuilder& aBuilder, const std::wstring& aPath, cvd::Kind aKind, bool aSkipUnsupported,
    TBuildTally& aTally, std::ostream& aErr)
{
    const std::string name = ToUtf8(aPath);
    TSignatureMembers members(aBuilder, name, aSkipUnsupported, aTally, aErr);
    Guarded(aPath, aTally, aErr, [&] { ReadContainerFile(aPath, aKind, members, false); });
}
