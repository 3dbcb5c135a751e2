#include "archive/Limits.h"

namespace unpack {

std::string_view RefusalText(Refusal aRefusal) noexcept
{
    switch (aRefusal) {
    case Refusal::Nesting:
        return "more than 16 nested archives";
    case Refusal::Members:
        return "more than 10,000 files in the archive";
    case Refusal::MemberSize:
        return "more than 100 MiB in one member";
    case Refusal::TotalSize:
        return "more than 400 MiB in one archive";
    case Refusal::Ratio:
        return "compression ratio above 1,000";
    case Refusal::NestedSize:
        return "nested archive larger than 100 MiB";
    case Refusal::Encrypted:
        return "encrypted";
    case Refusal::Damaged:
        return "damaged";
    case Refusal::Unsupported:
        return "unsupported";
    }
    return "damaged";
}

} // namespace unpack
