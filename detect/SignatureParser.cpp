#include "detect/SignatureParser.h"

#include "detect/PatternParser.h"
#include "detect/TextNumbers.h"

#include <vector>

namespace detect {
namespace {

constexpr std::uint64_t MaxSize = ~std::uint64_t{0} - 1; // all-ones is reserved for "*"

std::vector<std::string_view> Split(std::string_view aLine) {
    std::vector<std::string_view> fields;
    for (;;) {
        const std::size_t colon = aLine.find(':');
        fields.push_back(aLine.substr(0, colon));
        if (colon == std::string_view::npos) return fields;
        aLine.remove_prefix(colon + 1);
    }
}

bool AllDigits(std::string_view aText) {
    for (char c : aText)
        if (c < '0' || c > '9') return false;
    return true;
}

ParseProblem Refuse(ParseStatus aStatus, std::string aReason) { return {aStatus, std::move(aReason)}; }

// The optional ":MinFL[:MaxFL]" fields, each empty or a number: a syntax error when malformed,
// OutOfLevel when they exclude EngineLevel.
ParseProblem CheckLevels(const std::vector<std::string_view>& aFields, std::size_t aFirst) {
    if (aFields.size() > aFirst + 2) return Refuse(ParseStatus::SyntaxError, "invalid functionality level fields");
    std::optional<std::uint64_t> levels[2];
    for (std::size_t i = aFirst; i < aFields.size(); ++i) {
        if (!AllDigits(aFields[i])) return Refuse(ParseStatus::SyntaxError, "invalid functionality level fields");
        levels[i - aFirst] = ParseDecimal(aFields[i], 1000000000);
        if (!aFields[i].empty() && !levels[i - aFirst])
            return Refuse(ParseStatus::SyntaxError, "invalid functionality level fields");
    }
    if ((levels[0] && *levels[0] > EngineLevel) || (levels[1] && *levels[1] < EngineLevel))
        return Refuse(ParseStatus::OutOfLevel, "functionality levels exclude this engine's");
    return {};
}

// Names ClamAV takes but this format does not store (spaces, non-ASCII, over 255 bytes) are
// unsupported, not malformed; only an empty name is.
ParseProblem CheckName(std::string_view aName) {
    if (aName.empty()) return Refuse(ParseStatus::SyntaxError, "empty signature name");
    if (!IsValidName(aName))
        return Refuse(ParseStatus::Unsupported, "signature names with spaces, non-ASCII or over 255 bytes are not supported");
    return {};
}

// A hash line's size: decimal digits, with an optional '+' as ClamAV's reader allows.
std::optional<std::uint64_t> ParseSize(std::string_view aText) {
    if (!aText.empty() && aText.front() == '+') aText.remove_prefix(1);
    return ParseDecimal(aText, MaxSize);
}

// .hsb lines hold SHA-1 or SHA-256 digests, told apart by their length.
bool ParseDigest(SignatureFileKind aKind, std::string_view aHex, HashSignature& aSignature) {
    if (aKind == SignatureFileKind::Sha)
        aSignature.Algorithm = aHex.size() == DigestLength(HashAlgorithm::Sha1) * 2 ? HashAlgorithm::Sha1
                                                                                    : HashAlgorithm::Sha256;
    if (aKind == SignatureFileKind::Sha256Allow) aSignature.Algorithm = HashAlgorithm::Sha256;
    const std::size_t length = DigestLength(aSignature.Algorithm);
    if (aHex.size() != length * 2) return false;
    for (std::size_t i = 0; i < length; ++i) {
        const int high = HexDigitValue(aHex[i * 2]), low = HexDigitValue(aHex[i * 2 + 1]);
        if (high < 0 || low < 0) return false;
        aSignature.Digest[i] = static_cast<std::uint8_t>(high * 16 + low);
    }
    return true;
}

const char* DigestRule(SignatureFileKind aKind) {
    switch (aKind) {
    case SignatureFileKind::Md5:
    case SignatureFileKind::Md5Allow: return "hash must be 32 hex digits";
    case SignatureFileKind::Sha256Allow: return "hash must be 64 hex digits";
    case SignatureFileKind::Sha:
    case SignatureFileKind::Body: break;
    }
    return "hash must be 40 or 64 hex digits";
}

ParsedLine ParseHash(SignatureFileKind aKind, std::string_view aLine) {
    ParsedLine result;
    const auto fields = Split(aLine);
    if (fields.size() < 3) {
        result.Problem = Refuse(ParseStatus::SyntaxError, "expected Hash:Size:Name");
        return result;
    }
    HashSignature signature;
    if (!ParseDigest(aKind, fields[0], signature)) {
        result.Problem = Refuse(ParseStatus::SyntaxError, DigestRule(aKind));
        return result;
    }
    if (fields[1] == "*") {
        signature.AnySize = true;
    } else if (const auto size = ParseSize(fields[1])) {
        signature.Size = *size;
    } else {
        result.Problem = Refuse(ParseStatus::SyntaxError, "size must be a decimal number or *");
        return result;
    }
    result.Problem = CheckName(fields[2]);
    if (result.Problem.Status != ParseStatus::Ok) return result;
    result.Problem = CheckLevels(fields, 3);
    if (result.Problem.Status != ParseStatus::Ok) return result;
    signature.Name = std::string(fields[2]);
    result.Signature = std::move(signature);
    return result;
}

bool StartsWith(std::string_view aText, std::string_view aPrefix) { return aText.substr(0, aPrefix.size()) == aPrefix; }

ParseProblem ParseOffset(std::string_view aText, Offset& aOffset) {
    if (aText == "*") return {};
    for (std::string_view prefix : {"EP+", "EP-", "SL+", "SE", "S", "VI", "$"}) {
        if (StartsWith(aText, prefix)) return Refuse(ParseStatus::Unsupported, "offset type is not supported");
    }
    std::string_view base = aText;
    const std::size_t comma = aText.find(',');
    if (comma != std::string_view::npos) {
        const auto shift = ParseDecimal(aText.substr(comma + 1), ~std::uint64_t{0} >> 2);
        if (!shift) return Refuse(ParseStatus::SyntaxError, "invalid offset");
        aOffset.Shift = *shift;
        base = aText.substr(0, comma);
    }
    aOffset.Kind = OffsetKind::Start;
    if (StartsWith(base, "EOF-")) {
        aOffset.Kind = OffsetKind::Eof;
        base.remove_prefix(4);
    }
    const auto value = ParseDecimal(base, ~std::uint64_t{0} >> 2);
    if (!value) return Refuse(ParseStatus::SyntaxError, "invalid offset");
    aOffset.Value = *value;
    return {};
}

ParsedLine ParseBody(std::string_view aLine) {
    ParsedLine result;
    const auto fields = Split(aLine);
    if (fields.size() < 4) {
        result.Problem = Refuse(ParseStatus::SyntaxError, "expected Name:TargetType:Offset:HexSignature");
        return result;
    }
    BodySignature signature;
    result.Problem = CheckName(fields[0]);
    if (result.Problem.Status != ParseStatus::Ok) return result;
    const auto target = ParseDecimal(fields[1], 1000000);
    if (!target) {
        result.Problem = Refuse(ParseStatus::SyntaxError, "invalid target type");
        return result;
    }
    if (*target > 1) {
        result.Problem = Refuse(ParseStatus::Unsupported, "target type " + std::to_string(*target) + " is not supported");
        return result;
    }
    signature.Target = *target == 1 ? TargetType::MzFile : TargetType::Any;
    result.Problem = ParseOffset(fields[2], signature.Where);
    if (result.Problem.Status != ParseStatus::Ok) return result;
    PatternParse pattern = ParsePattern(fields[3]);
    if (pattern.Problem.Status != ParseStatus::Ok) {
        result.Problem = pattern.Problem;
        return result;
    }
    result.Problem = CheckLevels(fields, 4);
    if (result.Problem.Status != ParseStatus::Ok) return result;
    signature.Name = std::string(fields[0]);
    signature.Parts = std::move(pattern.Parts);
    result.Canonical = aLine.substr(0, static_cast<std::size_t>(fields[3].data() + fields[3].size() - aLine.data()));
    result.Signature = std::move(signature);
    return result;
}

} // namespace

bool IsValidName(std::string_view aName) {
    if (aName.empty() || aName.size() > MaxNameLength) return false;
    for (char c : aName) {
        if (c < 0x21 || c > 0x7E || c == ':') return false;
    }
    return true;
}

ParsedLine ParseLine(SignatureFileKind aKind, std::string_view aLine) {
    if (!aLine.empty() && aLine.back() == '\r') aLine.remove_suffix(1);
    if (aLine.find_first_not_of(" \t") == std::string_view::npos || aLine.front() == '#') {
        ParsedLine ignored;
        ignored.Problem.Status = ParseStatus::Ignored;
        return ignored;
    }
    switch (aKind) {
    case SignatureFileKind::Md5:
    case SignatureFileKind::Sha:
    case SignatureFileKind::Md5Allow:
    case SignatureFileKind::Sha256Allow: return ParseHash(aKind, aLine);
    case SignatureFileKind::Body: break;
    }
    return ParseBody(aLine);
}

namespace {

std::string LowerExtension(std::string_view aFileName) {
    const std::size_t dot = aFileName.rfind('.');
    std::string extension;
    if (dot == std::string_view::npos) return extension;
    for (char c : aFileName.substr(dot + 1)) extension += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
    return extension;
}

} // namespace

bool IsIgnoreListName(std::string_view aFileName) { return LowerExtension(aFileName) == "ign2"; }

std::optional<SignatureFileKind> KindFromFileName(std::string_view aFileName) {
    const std::string extension = LowerExtension(aFileName);
    // The PUA variants (.hdu, .hsu, .ndu) are read as their plain kinds: their names carry "PUA.".
    if (extension == "hdb" || extension == "hdu") return SignatureFileKind::Md5;
    if (extension == "hsb" || extension == "hsu") return SignatureFileKind::Sha;
    if (extension == "ndb" || extension == "ndu") return SignatureFileKind::Body;
    if (extension == "fp") return SignatureFileKind::Md5Allow;
    if (extension == "sfp") return SignatureFileKind::Sha256Allow;
    return std::nullopt;
}

} // namespace detect
