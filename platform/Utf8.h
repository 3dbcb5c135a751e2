// Conversions between UTF-16 and UTF-8 (invalid sequences become U+FFFD).
#pragma once

#include <string>
#include <string_view>

std::wstring FromUtf8(std::string_view aText);
std::string ToUtf8(std::wstring_view aText);
