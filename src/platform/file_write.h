#pragma once
// Writing a whole file without a display: the headless counterpart of the Qt layer's save.

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Writes the whole file or, on failure, leaves the old one as it was and returns the reason in
// words for the user; every step is checked. The saved file stays the same file: a symbolic
// link is followed, and a file a new one could not stand in for (more than one name, an owner
// or group the saver cannot give) is written in place after a copy of its old contents. A
// FIFO, device, socket or folder is refused and never opened. Elsewhere a new file, unnamed
// until complete and synced, replaces the old one by rename.
std::optional<std::string> WriteFileAtomicallyStd(const std::string& path, std::string_view bytes);

// Why a write failed, for the user: a short Dutch sentence for the faults people meet (a full
// disk, no permission, a read-only disk, a missing folder), then the system's own text.
std::string DescribeWriteError(int errorNumber);

} // namespace quillet
