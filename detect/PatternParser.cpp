#include "detect/PatternParser.h"
#include "detect/TextNumbers.h"

#include <algorithm>
#include <optional>

namespace detect {
namespace {

constexpr std::uint64_t MaxGapNumber = 999999999; // a gap bound has at most nine digits

// A token of the hex text: an element, or an unbounded gap of at least UnboundedMin bytes.
struct Token {
    bool Unbounded = false;
    std::uint32_t UnboundedMin = 0;
    PatternElement Element;
    bool IsGap() const { return Unbounded || Element.Kind == PatternElement::Type::Gap; }
};

class Tokenizer {
public:
    explicit Tokenizer(std::string_view aText) : mText(aText) {}

    ParseProblem Run(std::vector<Token>& aTokens) {
        while (mPos < mText.size()) {
            Token token;
            if (!Next(token)) return mProblem;
            if (aTokens.size() == MaxElements)
                return {ParseStatus::Unsupported, "hex signature has more than 65536 elements"};
            aTokens.push_back(token);
        }
        return {};
    }

private:
    bool Fail(ParseStatus aStatus, std::string aReason) {
        mProblem = {aStatus, std::move(aReason)};
        return false;
    }

    bool Next(Token& aToken) {
        const char c = mText[mPos];
        if (c == '*') {
            ++mPos;
            aToken.Unbounded = true;
            return true;
        }
        if (c == '{') return Braces(aToken);
        if (c == '(') return Alternatives(aToken);
        if (c == '!') return Fail(ParseStatus::Unsupported, "negated alternatives are not supported");
        if (c == '[') return Fail(ParseStatus::Unsupported, "[n-m] byte anchors are not supported");
        return Byte(aToken.Element);
    }

    bool Byte(PatternElement& aElement) {
        if (mPos + 1 >= mText.size()) return Fail(ParseStatus::SyntaxError, "odd number of hex digits");
        const char high = mText[mPos], low = mText[mPos + 1];
        const int h = HexDigitValue(high), l = HexDigitValue(low);
        if ((h < 0 && high != '?') || (l < 0 && low != '?'))
            return Fail(ParseStatus::SyntaxError, "invalid character in hex signature");
        mPos += 2;
        aElement.Kind = PatternElement::Type::Byte;
        aElement.Mask = static_cast<std::uint8_t>((h >= 0 ? 0xF0 : 0) | (l >= 0 ? 0x0F : 0));
        aElement.Value = static_cast<std::uint8_t>(((h >= 0 ? h : 0) << 4) | (l >= 0 ? l : 0));
        return true;
    }

    static std::optional<std::uint32_t> Number(std::string_view aDigits) {
        const auto value = ParseDecimal(aDigits, MaxGapNumber);
        if (!value) return std::nullopt;
        return static_cast<std::uint32_t>(*value);
    }

    bool Braces(Token& aToken) {
        const std::size_t close = mText.find('}', mPos);
        if (close == std::string_view::npos) return Fail(ParseStatus::SyntaxError, "unclosed {");
        const std::string_view inner = mText.substr(mPos + 1, close - mPos - 1);
        mPos = close + 1;
        const std::size_t dash = inner.find('-');
        PatternElement& gap = aToken.Element;
        gap.Kind = PatternElement::Type::Gap;
        if (dash == std::string_view::npos) {
            const auto n = Number(inner);
            if (!n) return Fail(ParseStatus::SyntaxError, "invalid {n} gap");
            gap.Min = gap.Max = *n;
            return true;
        }
        const std::string_view left = inner.substr(0, dash), right = inner.substr(dash + 1);
        const auto low = left.empty() ? std::optional<std::uint32_t>(0) : Number(left);
        if (!low || (left.empty() && right.empty())) return Fail(ParseStatus::SyntaxError, "invalid {n-m} gap");
        if (right.empty()) {
            aToken.Unbounded = true;
            aToken.UnboundedMin = *low;
            return true;
        }
        const auto high = Number(right);
        if (!high) return Fail(ParseStatus::SyntaxError, "invalid {n-m} gap");
        if (*high < *low) return Fail(ParseStatus::Unsupported, "{n-m} gaps with n above m are not supported");
        gap.Min = *low;
        gap.Max = *high;
        return true;
    }

    bool Alternatives(Token& aToken) {
        const std::size_t close = mText.find(')', mPos);
        if (close == std::string_view::npos) return Fail(ParseStatus::SyntaxError, "unclosed (");
        std::string_view inner = mText.substr(mPos + 1, close - mPos - 1);
        mPos = close + 1;
        if (inner == "B" || inner == "L" || inner == "W")
            return Fail(ParseStatus::Unsupported, "boundary markers (B), (L), (W) are not supported");
        PatternElement& set = aToken.Element;
        set.Kind = PatternElement::Type::Set;
        std::size_t choices = 0;
        for (;;) {
            const std::size_t bar = inner.find('|');
            const std::string_view choice = inner.substr(0, bar);
            if (!Choice(choice, set)) return false;
            ++choices;
            if (bar == std::string_view::npos) break;
            inner.remove_prefix(bar + 1);
        }
        return choices > 0;
    }

    bool Choice(std::string_view aChoice, PatternElement& aSet) {
        bool hex = !aChoice.empty(), wild = false;
        for (char c : aChoice) {
            wild = wild || c == '?';
            hex = hex && (HexDigitValue(c) >= 0 || c == '?');
        }
        if (!hex || aChoice.size() % 2 != 0) return Fail(ParseStatus::SyntaxError, "invalid alternative");
        if (wild) return Fail(ParseStatus::Unsupported, "wildcards inside alternatives are not supported");
        if (aChoice.size() > 2) return Fail(ParseStatus::Unsupported, "multi-byte alternatives are not supported");
        const auto b = static_cast<std::uint8_t>(HexDigitValue(aChoice[0]) * 16 + HexDigitValue(aChoice[1]));
        aSet.Members[b >> 6] |= std::uint64_t{1} << (b & 63);
        return true;
    }

    std::string_view mText;
    std::size_t mPos = 0;
    ParseProblem mProblem;
};

// Shapes ClamAV loads but this matcher does not take are unsupported; only an empty pattern
// and a bare one- or two-byte pattern (which ClamAV refuses too) are malformed.
ParseProblem CheckShape(const std::vector<Token>& aTokens) {
    if (aTokens.empty()) return {ParseStatus::SyntaxError, "empty hex signature"};
    if (aTokens.size() < 3 && std::none_of(aTokens.begin(), aTokens.end(), [](const Token& t) { return t.IsGap(); }))
        return {ParseStatus::SyntaxError, "hex signature needs at least 3 bytes"};
    if (aTokens.front().IsGap()) return {ParseStatus::Unsupported, "a hex signature starting with a gap is not supported"};
    if (aTokens.back().IsGap()) return {ParseStatus::Unsupported, "a hex signature ending with a gap is not supported"};
    std::size_t run = 0, longest = 0;
    for (std::size_t i = 0; i < aTokens.size(); ++i) {
        if (i > 0 && aTokens[i].IsGap() && aTokens[i - 1].IsGap())
            return {ParseStatus::Unsupported, "consecutive gaps are not supported"};
        run = (!aTokens[i].Unbounded && aTokens[i].Element.IsFixed()) ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    if (longest < 3) return {ParseStatus::Unsupported, "hex signatures without 3 fixed bytes in a row are not supported"};
    return {};
}

ParseProblem CheckPart(const PatternPart& aPart) {
    bool fixed = false;
    for (const PatternElement& e : aPart.Elements) fixed = fixed || e.IsFixed();
    if (!fixed) return {ParseStatus::Unsupported, "a part between unbounded gaps needs a fixed byte"};
    if (MaxLength(aPart.Elements, 0, aPart.Elements.size()) > MaxPartLength)
        return {ParseStatus::Unsupported, "a part spans more than 65536 bytes"};
    return {};
}

} // namespace

PatternParse ParsePattern(std::string_view aHex) {
    PatternParse result;
    std::vector<Token> tokens;
    result.Problem = Tokenizer(aHex).Run(tokens);
    if (result.Problem.Status == ParseStatus::Ok) result.Problem = CheckShape(tokens);
    if (result.Problem.Status != ParseStatus::Ok) return result;
    result.Parts.emplace_back();
    for (const Token& token : tokens) {
        if (token.Unbounded) {
            result.Parts.emplace_back();
            result.Parts.back().GapMin = token.UnboundedMin;
        } else {
            result.Parts.back().Elements.push_back(token.Element);
        }
    }
    if (result.Parts.size() > MaxParts) result.Problem = {ParseStatus::Unsupported, "more than 64 unbounded gaps"};
    for (const PatternPart& part : result.Parts) {
        if (result.Problem.Status != ParseStatus::Ok) break;
        result.Problem = CheckPart(part);
    }
    if (result.Problem.Status != ParseStatus::Ok) result.Parts.clear();
    return result;
}

} // namespace detect
