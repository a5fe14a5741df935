#pragma once
// Writing a whole file without a display: the headless counterpart of the Qt layer's save.

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Writes through a temporary file in the same folder that replaces the old file only once it
// is complete and synced; every step is checked. On failure the old file is untouched, the
// temporary file is gone, and the reason is returned in words for the user.
std::optional<std::string> WriteFileAtomicallyStd(const std::string& path, std::string_view bytes);

// Why a write failed, for the user: a short Dutch sentence for the faults people meet (a full
// disk, no permission, a read-only disk, a missing folder), then the system's own text.
std::string DescribeWriteError(int errorNumber);

} // namespace quillet
