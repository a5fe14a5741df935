#include "platform/file_stamp.h"

#include <filesystem>
#include <sys/stat.h>
#include <system_error>

namespace quillet {

std::optional<FileStamp> StampOf(const std::string& path) {
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return FileStamp{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
                     static_cast<std::int64_t>(st.st_size),
                     static_cast<std::int64_t>(st.st_mtim.tv_sec),
                     static_cast<std::int64_t>(st.st_mtim.tv_nsec)};
}

bool SamePath(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    if (a.empty() || b.empty()) {
        return false;
    }
    std::error_code ea;
    std::error_code eb;
    const std::filesystem::path pa = std::filesystem::absolute(a, ea).lexically_normal();
    const std::filesystem::path pb = std::filesystem::absolute(b, eb).lexically_normal();
    return !ea && !eb && pa == pb;
}

} // namespace quillet
