// The extensions of the files to scan and the rule that takes an extension from a file name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

// The accepted extensions, each with its dot, archives (.zip .rar .7z .tar .gz .tgz .bz2 .xz .cab) only when aArchives;
// sorted by the user's locale with letter case ignored.
std::vector<std::wstring> MakeFileExtensions(bool aArchives);

// The text from the last "." of aName to its end, trailing dots and spaces left out: ".exe" for
// "evil.exe." and "evil.exe "; empty when no dot is left before them.
std::wstring_view FileExtension(std::wstring_view aName) noexcept;

// True when aExtension equals an entry of the sorted aExtensions by the user's locale with
// letter case ignored (equality of CompareForUser).
bool IsListedExtension(const std::vector<std::wstring>& aExtensions, std::wstring_view aExtension) noexcept;
