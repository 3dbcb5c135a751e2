#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// The number forms of signature lines.
namespace detect {

// The value of one hex digit, or -1.
inline int HexDigitValue(char aChar) {
    if (aChar >= '0' && aChar <= '9') return aChar - '0';
    if (aChar >= 'a' && aChar <= 'f') return aChar - 'a' + 10;
    if (aChar >= 'A' && aChar <= 'F') return aChar - 'A' + 10;
    return -1;
}

// Digits only, at most aLimit; nothing for an empty text, a sign or any other character.
inline std::optional<std::uint64_t> ParseDecimal(std::string_view aText, std::uint64_t aLimit) {
    if (aText.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : aText) {
        if (c < '0' || c > '9') return std::nullopt;
        const auto digit = static_cast<std::uint64_t>(c - '0');
        if (digit > aLimit || value > (aLimit - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

} // namespace detect
