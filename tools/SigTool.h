// The signature tool's commands: building signature.dat from ClamAV-style files, and describing one.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

// Exit codes of the tool.
inline constexpr int kSigToolOk = 0;
inline constexpr int kSigToolInvalidInput = 1;
inline constexpr int kSigToolUsage = 2;

// Runs the tool on its arguments (without the program name), writing reports to aOut and
// problems to aErr as UTF-8. Returns the exit code; never throws.
int RunSigTool(const std::vector<std::wstring>& aArguments, std::ostream& aOut, std::ostream& aErr);
