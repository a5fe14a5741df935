#pragma once
// Which version of a file is on disk, told without reading it: the file itself (device and
// inode, new when a file is replaced by a rename) and its size and time of last write.

#include <cstdint>
#include <optional>
#include <string>

namespace quillet {

struct FileStamp {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modifiedSeconds = 0;
    // Two writes within one second differ here only.
    std::int64_t modifiedNanoseconds = 0;

    bool operator==(const FileStamp&) const = default;
};

// The stamp of the file now at `path`; nothing when there is none or it cannot be looked at.
std::optional<FileStamp> StampOf(const std::string& path);

// Whether two names name the same place, relative ones taken from the current folder.
bool SamePath(const std::string& a, const std::string& b);

} // namespace quillet
