#include "platform/file_write.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
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
    case ELOOP:
        return "De naam verwijst in een kring naar zichzelf.";
    default:
        return nullptr;
    }
}

// A name that is taken by something no save may replace or write into.
std::string DescribeNotAFile(mode_t mode) {
    if (S_ISDIR(mode)) {
        return DescribeWriteError(EISDIR);
    }
    const char* kind = S_ISCHR(mode) || S_ISBLK(mode) ? "een apparaat"
                       : S_ISFIFO(mode)               ? "een pijp (FIFO)"
                       : S_ISSOCK(mode)               ? "een socket"
                                                      : "iets anders dan een bestand";
    return std::string("Er bestaat al ") + kind +
           " met deze naam; alleen een gewoon bestand wordt overschreven. (" +
           std::strerror(EEXIST) + ")";
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Our files beside the target: a new file on its way (".qlf-" and six letters) and, while a
// file is written in place, the copy of its old contents (".qlf-old-", its inode, six letters).
// Both names are short, whatever the length of the target's.
constexpr const char* TEMP_PREFIX = ".qlf-";
constexpr std::size_t RANDOM_LETTERS = 6;

std::string BackupPrefix(ino_t inode) {
    return ".qlf-old-" + std::to_string(static_cast<unsigned long long>(inode)) + "-";
}

std::string RandomLetters() {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::array<unsigned char, RANDOM_LETTERS> random{};
    if (::getrandom(random.data(), random.size(), 0) != static_cast<ssize_t>(random.size())) {
        // Names are tried with O_EXCL or taken by link, so a weak name only costs a retry.
        static unsigned counter = 0;
        const unsigned seed = static_cast<unsigned>(::getpid()) * 2654435761u + ++counter;
        for (std::size_t i = 0; i < random.size(); ++i) {
            random[i] = static_cast<unsigned char>(seed >> (i * 5));
        }
    }
    std::string name;
    for (const unsigned char r : random) {
        name += letters[r % (sizeof letters - 1)];
    }
    return name;
}

bool IsOurs(const char* name, const std::string& backupPrefix) {
    const std::string entry = name;
    const auto letters = [&entry](std::size_t from) {
        if (entry.size() != from + RANDOM_LETTERS) {
            return false;
        }
        for (std::size_t i = from; i < entry.size(); ++i) {
            if (std::isalnum(static_cast<unsigned char>(entry[i])) == 0) {
                return false;
            }
        }
        return true;
    };
    const std::string temp = TEMP_PREFIX;
    return (entry.compare(0, temp.size(), temp) == 0 && letters(temp.size())) ||
           (entry.compare(0, backupPrefix.size(), backupPrefix) == 0 &&
            letters(backupPrefix.size()));
}

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Fd& operator=(Fd&& other) noexcept {
        std::swap(fd_, other.fd_);
        return *this;
    }

    int get() const { return fd_; }
    bool ok() const { return fd_ >= 0; }
    // 0, or the error of the close.
    int Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0 ? 0 : errno;
    }

  private:
    int fd_ = -1;
};

// 0, or the error of the first failing write.
int WriteAt(int fd, std::string_view bytes, off_t offset) {
    while (!bytes.empty()) {
        const ssize_t wrote = ::pwrite(fd, bytes.data(), bytes.size(), offset);
        if (wrote < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (wrote == 0) {
            return EIO;
        }
        bytes.remove_prefix(static_cast<std::size_t>(wrote));
        offset += wrote;
    }
    return 0;
}

// 0 with the whole file in `out`, or the error.
int ReadWhole(int fd, std::string& out) {
    out.clear();
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::pread(fd, buffer, sizeof buffer, static_cast<off_t>(out.size()));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        if (got == 0) {
            return 0;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

// Follows symbolic links in the last part of `path`, so that the link's target is written and
// the link stays. A dangling link names the file to create.
int ResolveLinks(std::string& path) {
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) {
            return errno == ENOENT ? 0 : errno;
        }
        if (!S_ISLNK(st.st_mode)) {
            return 0;
        }
        std::string to(4096, '\0');
        const ssize_t length = ::readlink(path.c_str(), to.data(), to.size());
        if (length < 0) {
            return errno;
        }
        if (static_cast<std::size_t>(length) == to.size()) {
            return ENAMETOOLONG;
        }
        to.resize(static_cast<std::size_t>(length));
        path = to.front() == '/' ? to : FolderOf(path) + "/" + to;
    }
    return ELOOP;
}

// The folder the file is in, held open for the *at calls and its sync.
struct Folder {
    Fd fd;
    bool syncable = false;

    int Open(const std::string& path) {
        fd = Fd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        syncable = fd.ok();
        if (!fd.ok() && errno == EACCES) {
            // A folder one may write into but not list.
            fd = Fd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        }
        return fd.ok() ? 0 : errno;
    }
    int Sync() const {
        // Some file systems cannot sync a folder; they say so with EINVAL.
        return !syncable || ::fsync(fd.get()) == 0 || errno == EINVAL ? 0 : errno;
    }
};

// A file of ours in the folder: unnamed until complete where the system allows it, so that a
// killed save leaves nothing; locked, so that a later save knows a left one from a live one.
struct Temp {
    Fd fd;
    std::string name; // empty while unnamed

    // 0, or the error. `unnamed` false or refused: named from the start, after `prefix`.
    int Create(const Folder& folder, mode_t mode, bool unnamed, const std::string& prefix) {
        if (unnamed) {
            fd = Fd(::openat(folder.fd.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, mode));
            if (fd.ok()) {
                ::flock(fd.get(), LOCK_EX | LOCK_NB);
                return 0;
            }
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                return errno;
            }
        }
        for (int tries = 0; tries < 100; ++tries) {
            const std::string candidate = prefix + RandomLetters();
            fd = Fd(::openat(folder.fd.get(), candidate.c_str(),
                             O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode));
            if (fd.ok()) {
                name = candidate;
                ::flock(fd.get(), LOCK_EX | LOCK_NB);
                return 0;
            }
            if (errno != EEXIST) {
                return errno;
            }
        }
        return EEXIST;
    }

    // Gives the complete file a name starting with `prefix`. 0, or the error; ENOTSUP when the
    // system cannot name an unnamed file here (no /proc, no privilege).
    int Name(const Folder& folder, const std::string& prefix) {
        char self[64];
        std::snprintf(self, sizeof self, "/proc/self/fd/%d", fd.get());
        for (int tries = 0; tries < 100; ++tries) {
            const std::string candidate = prefix + RandomLetters();
            int linked =
                ::linkat(AT_FDCWD, self, folder.fd.get(), candidate.c_str(), AT_SYMLINK_FOLLOW);
            if (linked != 0 && errno == ENOENT) {
                // No /proc: the same by the descriptor, which needs CAP_DAC_READ_SEARCH.
                linked = ::linkat(fd.get(), "", folder.fd.get(), candidate.c_str(), AT_EMPTY_PATH);
            }
            if (linked == 0) {
                name = candidate;
                return 0;
            }
            if (errno != EEXIST) {
                return errno == ENOENT || errno == EPERM ? ENOTSUP : errno;
            }
        }
        return EEXIST;
    }

    void Remove(const Folder& folder) {
        if (!name.empty()) {
            ::unlinkat(folder.fd.get(), name.c_str(), 0);
            name.clear();
        }
    }
};

// Outcome of the replace by rename.
struct Replaced {
    bool done = false;
    int error = 0;            // with done false: why it failed
    bool needInPlace = false; // the new file could not be made the same as the old one
    bool unnamedRefused = false;
};

// Writes a new file and renames it over the target, which is absent or has exactly one name.
// An existing target's owner, group and mode are given to the new file first; where that does
// not take, the caller writes the file in place instead.
Replaced ReplaceByRename(const Folder& folder, const std::string& name, const struct stat* old,
                         std::string_view bytes, bool unnamed) {
    Temp temp;
    // A new file gets the usual permissions (umask, default ACL); a replaced one its own.
    if (const int error = temp.Create(folder, old != nullptr ? 0600 : 0666, unnamed, TEMP_PREFIX)) {
        return {false, error};
    }
    const auto fail = [&](int error) {
        temp.Remove(folder);
        return Replaced{false, error};
    };
    if (old != nullptr) {
        struct stat made {};
        if (::fstat(temp.fd.get(), &made) != 0) {
            return fail(errno);
        }
        // The owner first: a change of owner clears the set-id bits.
        const bool owned = (made.st_uid == old->st_uid && made.st_gid == old->st_gid) ||
                           ::fchown(temp.fd.get(), old->st_uid, old->st_gid) == 0;
        const mode_t mode = old->st_mode & 07777;
        // A mode the system quietly trims (set-group-ID outside the group) shows in fstat.
        if (!owned || ::fchmod(temp.fd.get(), mode) != 0 || ::fstat(temp.fd.get(), &made) != 0 ||
            made.st_uid != old->st_uid || made.st_gid != old->st_gid ||
            (made.st_mode & 07777) != mode) {
            temp.Remove(folder);
            Replaced result;
            result.needInPlace = true;
            return result;
        }
    }
    if (const int error = WriteAt(temp.fd.get(), bytes, 0)) {
        return fail(error);
    }
    if (::fsync(temp.fd.get()) != 0) {
        return fail(errno);
    }
    if (temp.name.empty()) {
        if (const int error = temp.Name(folder, TEMP_PREFIX)) {
            Replaced result = fail(error);
            result.unnamedRefused = error == ENOTSUP;
            return result;
        }
    }
    if (::renameat(folder.fd.get(), temp.name.c_str(), folder.fd.get(), name.c_str()) != 0) {
        return fail(errno);
    }
    temp.name.clear();
    // The lock is held until the name is gone, so no other save takes the file for a left one.
    if (const int error = folder.Sync()) {
        return {false, error};
    }
    if (const int error = temp.fd.Close()) {
        return {false, error};
    }
    return {true, 0};
}

// Writes the file itself, for a file a rename would change: more than one name, an owner or
// group the new file cannot be given. The old contents are first copied, complete and synced,
// beside it; a failure writes them back, and a killed save leaves the copy.
std::optional<std::string> WriteInPlace(const Folder& folder, const std::string& path,
                                        std::string_view bytes) {
    // Not blocking: should the name have become a FIFO since it was looked at, the open must
    // not wait for a reader.
    Fd file(::open(path.c_str(), O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!file.ok()) {
        return DescribeWriteError(errno);
    }
    struct stat old {};
    if (::fstat(file.get(), &old) != 0) {
        return DescribeWriteError(errno);
    }
    if (!S_ISREG(old.st_mode)) {
        return DescribeNotAFile(old.st_mode);
    }
    // Two saves writing one file in place would mix their contents, and the loser's write-back
    // would undo the winner's save; the second is refused instead.
    if (::flock(file.get(), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        return std::string("Het bestand wordt op dit moment door een ander venster of programma "
                           "bewaard; probeer het zo opnieuw. (") +
               std::strerror(EWOULDBLOCK) + ")";
    }
    std::string contents;
    if (const int error = ReadWhole(file.get(), contents)) {
        return DescribeWriteError(error);
    }

    Temp backup;
    int error = 0;
    for (const bool unnamed : {true, false}) {
        backup = Temp();
        error = backup.Create(folder, 0600, unnamed, BackupPrefix(old.st_ino));
        if (error == 0) {
            error = WriteAt(backup.fd.get(), contents, 0);
        }
        if (error == 0 && ::fsync(backup.fd.get()) != 0) {
            error = errno;
        }
        if (error == 0 && backup.name.empty()) {
            error = backup.Name(folder, BackupPrefix(old.st_ino));
        }
        if (error != ENOTSUP) {
            break;
        }
    }
    // The copy's name is on the disk before the file is touched.
    if (error == 0) {
        error = folder.Sync();
    }
    if (error != 0) {
        backup.Remove(folder);
        return DescribeWriteError(error);
    }
    // Room for the new contents is claimed before the old ones are overwritten, where the file
    // system can.
    if (bytes.size() > contents.size() &&
        ::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(bytes.size())) != 0 &&
        errno != EOPNOTSUPP && errno != ENOSYS) {
        const int refused = errno;
        backup.Remove(folder);
        return DescribeWriteError(refused);
    }

    error = WriteAt(file.get(), bytes, 0);
    if (error == 0 && ::ftruncate(file.get(), static_cast<off_t>(bytes.size())) != 0) {
        error = errno;
    }
    if (error == 0 && ::fsync(file.get()) != 0) {
        error = errno;
    }
    if (error == 0) {
        std::string written;
        error = ReadWhole(file.get(), written);
        if (error == 0 && written != bytes) {
            error = EIO;
        }
    }
    if (error != 0) {
        const bool restored = WriteAt(file.get(), contents, 0) == 0 &&
                              ::ftruncate(file.get(), static_cast<off_t>(contents.size())) == 0 &&
                              ::fsync(file.get()) == 0;
        if (!restored) {
            return DescribeWriteError(error) + " De oude inhoud staat in " + FolderOf(path) + "/" +
                   backup.name + ".";
        }
        backup.Remove(folder);
        return DescribeWriteError(error);
    }
    backup.Remove(folder);
    if (const int failed = folder.Sync()) {
        return DescribeWriteError(failed);
    }
    if (const int failed = backup.fd.Close()) {
        return DescribeWriteError(failed);
    }
    if (const int failed = file.Close()) {
        return DescribeWriteError(failed);
    }
    return std::nullopt;
}

// Removes what killed saves left in the folder: new files never renamed, and copies of the old
// contents of `inode`, which the save just made has made needless. A file some other save still
// holds is locked and stays. Only a tidy-up: a failure here costs nothing.
void RemoveLeftovers(const Folder& folder, ino_t inode) {
    const int listing = ::openat(folder.fd.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) {
        return;
    }
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return;
    }
    const std::string backupPrefix = BackupPrefix(inode);
    while (const dirent* entry = ::readdir(dir)) {
        if (!IsOurs(entry->d_name, backupPrefix)) {
            continue;
        }
        Fd left(::openat(folder.fd.get(), entry->d_name,
                         O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
        struct stat held {};
        struct stat named {};
        if (left.ok() && ::fstat(left.get(), &held) == 0 && S_ISREG(held.st_mode) &&
            held.st_uid == ::geteuid() && ::flock(left.get(), LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(folder.fd.get(), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 &&
            named.st_ino == held.st_ino && named.st_dev == held.st_dev) {
            ::unlinkat(folder.fd.get(), entry->d_name, 0);
        }
    }
    ::closedir(dir);
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
    std::string target = path;
    if (const int error = ResolveLinks(target)) {
        return DescribeWriteError(error);
    }
    // Looked at, never opened, before it is known to be a file: opening a FIFO waits.
    struct stat old {};
    const bool exists = ::lstat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        return DescribeWriteError(errno);
    }
    if (exists && !S_ISREG(old.st_mode)) {
        return DescribeNotAFile(old.st_mode);
    }
    // A file its owner made read-only stays so, although the folder would allow a rename.
    if (exists && ::faccessat(AT_FDCWD, target.c_str(), W_OK, AT_EACCESS) != 0) {
        return DescribeWriteError(errno);
    }
    Folder folder;
    if (const int error = folder.Open(FolderOf(target))) {
        return DescribeWriteError(error);
    }
    const std::string name = NameOf(target);

    // A rename makes a new file: right only where nobody can tell it from the old one.
    if (!exists || old.st_nlink == 1) {
        Replaced replaced = ReplaceByRename(folder, name, exists ? &old : nullptr, bytes, true);
        if (replaced.unnamedRefused) {
            replaced = ReplaceByRename(folder, name, exists ? &old : nullptr, bytes, false);
        }
        if (replaced.done) {
            RemoveLeftovers(folder, old.st_ino);
            return std::nullopt;
        }
        if (!replaced.needInPlace) {
            return DescribeWriteError(replaced.error);
        }
    }
    std::optional<std::string> reason = WriteInPlace(folder, target, bytes);
    if (!reason) {
        RemoveLeftovers(folder, old.st_ino);
    }
    return reason;
}

} // namespace quillet
