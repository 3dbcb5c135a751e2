#pragma once

// The checks on a path read from a quarantine item before anything is written there.

#include <optional>
#include <string>

namespace vault {

// The path with "." and ".." segments resolved, when it and the result have one of the forms
// X:\..., \\server\share\..., \\?\X:\... or \\?\UNC\server\share\... and name a file below
// the root. Refuses device forms (\\.\, \\?\GLOBALROOT, \\?\Volume{...}, \??\), forward
// slashes, empty segments, stream names (":" after the root) and characters no file name holds.
std::optional<std::u16string> CheckRestorePath(const std::u16string& aPath);

} // namespace vault
