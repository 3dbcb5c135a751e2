// Arbitrary bytes through the archive walk, from memory as a nested archive is read, with small
// limits so that every limit is reached: the walk must end, call its visitor in balanced pairs,
// refuse each cause at most once, and hand over no more than the limits allow.
#include "archive/Walker.h"

#include <cstdlib>
#include <string>

namespace {

constexpr unpack::Limits kLimits{3, 64, 256 * 1024, 1024 * 1024, 1000, 64 * 1024, 256 * 1024};

class CheckingVisitor final : public unpack::Visitor {
public:
    void BeginMember(std::wstring_view, std::int64_t) override
    {
        if (inData_)
            std::abort();
        ++open_;
        member_ = 0;
        inData_ = true;
    }
    void MemberData(const std::uint8_t* aData, std::size_t aCount) override
    {
        if (!inData_ || (aCount > 0 && aData == nullptr))
            std::abort();
        volatile std::uint8_t sink = aCount > 0 ? aData[aCount - 1] : 0;
        (void)sink;
        member_ += aCount;
        total_ += aCount;
        // One block may pass a limit before the check after it ends the member.
        if (member_ > kLimits.MemberSize + kMaxBlock || total_ > kLimits.TotalSize + kMaxBlock)
            std::abort();
    }
    void EndMemberData(bool) override
    {
        if (!inData_)
            std::abort();
        inData_ = false;
    }
    void EndMember() override
    {
        if (open_ == 0 || inData_)
            std::abort();
        --open_;
    }
    void Refused(unpack::Refusal aRefusal, std::string_view, std::size_t aDepth) override
    {
        const auto cause = 1u << static_cast<unsigned>(aRefusal);
        if ((refused_ & cause) != 0 || aDepth > open_ + 1 || unpack::RefusalText(aRefusal).empty())
            std::abort();
        refused_ |= cause;
    }
    bool Stopped() override { return false; }

    void CheckEnd() const
    {
        if (open_ != 0 || inData_)
            std::abort();
    }

private:
    static constexpr std::uint64_t kMaxBlock = 16ull << 20;
    std::size_t open_ = 0;
    bool inData_ = false;
    std::uint64_t member_ = 0;
    std::uint64_t total_ = 0;
    unsigned refused_ = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* aData, std::size_t aSize)
{
    CheckingVisitor visitor;
    unpack::Walker walker(visitor, kLimits);
    unpack::MemorySource source(aData, aSize);
    walker.Walk(source);
    visitor.CheckEnd();
    return 0;
}
