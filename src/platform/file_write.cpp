#include "platform/file_write.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillet {

namespace {

const char* PlainWords(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
    case EDQUOT:
        return "De schijf is vol.";
    case EFBIG:
        return "Het bestand wordt groter dan het systeem toelaat.";
    case EACCES:
    case EPERM:
        return "U hebt geen toestemming om hier te schrijven.";
    case EROFS:
        return "De schijf is alleen-lezen.";
    case ENOENT:
    case ENOTDIR:
        return "De map bestaat niet.";
    case EISDIR:
        return "Er bestaat al een map met deze naam.";
    case ENAMETOOLONG:
        return "De naam is te lang.";
    case EIO:
        return "De schijf gaf een fout bij het schrijven.";
    default:
        return nullptr;
    }
}

// The folder of a path, for the temporary file beside it.
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::string DescribeWriteError(int errorNumber) {
    const std::string system = std::strerror(errorNumber);
    const char* words = PlainWords(errorNumber);
    return words != nullptr ? std::string(words) + " (" + system + ")" : system;
}

std::optional<std::string> WriteFileAtomicallyStd(const std::string& path, std::string_view bytes) {
    if (path.empty() || path.back() == '/' || path.find('\0') != std::string::npos) {
        return DescribeWriteError(ENOENT);
    }
    struct stat existing {};
    if (::stat(path.c_str(), &existing) == 0 && S_ISDIR(existing.st_mode)) {
        return DescribeWriteError(EISDIR);
    }
    const std::string folder = FolderOf(path);
    std::string temp = folder + "/.quillet-XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) {
        return DescribeWriteError(errno);
    }
    auto fail = [&](int errorNumber, bool open) {
        if (open) {
            ::close(fd);
        }
        ::unlink(temp.c_str());
        return DescribeWriteError(errorNumber);
    };

    // A new file gets the usual permissions; a replaced one keeps its own.
    mode_t mode = 0;
    if (::stat(path.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    if (::fchmod(fd, mode) != 0) {
        return fail(errno, true);
    }
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t wrote = ::write(fd, data, left);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return fail(errno, true);
        }
        if (wrote == 0) {
            return fail(EIO, true);
        }
        data += wrote;
        left -= static_cast<std::size_t>(wrote);
    }
    if (::fsync(fd) != 0) {
        return fail(errno, true);
    }
    if (::close(fd) != 0) {
        return fail(errno, false);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        return fail(errno, false);
    }
    // The new name is in place; syncing the folder only makes it durable sooner.
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::nullopt;
}

} // namespace quillet
