// Saving over everything a name can stand for: a file stays the same file (every name, inode,
// owner, group and mode), and what is not a file is refused untouched. Rows that need other
// users or device nodes run as root only; the save then runs in a child under the user's ids.

#include "platform/file_write.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <optional>
#include <pwd.h>
#include <set>
#include <string>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quillet {
namespace {

using testing::TempDir;

const std::string OLD_TEXT = "<Quillet>\r\nthe old drawing\r\n";
const std::string NEW_TEXT = "<Quillet>\r\nthe new drawing, longer than the old one\r\n";

// Who saves: a user with a primary group and supplementary groups.
struct Saver {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
};

// Ids no user or group on this machine has, for the owners and savers of the root-only rows.
struct FreeIds {
    uid_t owner = 0, saver = 0;
    gid_t ownerGroup = 0, saverGroup = 0, team = 0;
};

FreeIds PickFreeIds() {
    std::vector<unsigned> ids;
    for (unsigned id = 61000; ids.size() < 5 && id < 65000; ++id) {
        if (::getpwuid(id) == nullptr && ::getgrgid(id) == nullptr) {
            ids.push_back(id);
        }
    }
    return {ids.at(0), ids.at(1), ids.at(2), ids.at(3), ids.at(4)};
}

// Saves as `saver` in a child process, or in this process without one.
std::optional<std::string> SaveAs(const std::optional<Saver>& saver, const std::string& path,
                                  const std::string& bytes) {
    if (!saver) {
        return WriteFileAtomicallyStd(path, bytes);
    }
    int pipe[2];
    if (::pipe(pipe) != 0) {
        return "pipe failed";
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipe[0]);
        std::string reply = "E";
        if (::setgroups(saver->groups.size(), saver->groups.data()) == 0 &&
            ::setgid(saver->gid) == 0 && ::setuid(saver->uid) == 0) {
            const std::optional<std::string> reason = WriteFileAtomicallyStd(path, bytes);
            reply = reason ? "R" + *reason : "K";
        } else {
            reply += std::strerror(errno);
        }
        const bool sent =
            ::write(pipe[1], reply.data(), reply.size()) == static_cast<ssize_t>(reply.size());
        ::_exit(sent ? 0 : 1);
    }
    ::close(pipe[1]);
    std::string reply;
    char buffer[512];
    ssize_t got = 0;
    while ((got = ::read(pipe[0], buffer, sizeof buffer)) > 0) {
        reply.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipe[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || reply.empty() || reply[0] == 'E') {
        return "the saving child failed: " + reply;
    }
    if (reply[0] == 'K') {
        return std::nullopt;
    }
    return reply.substr(1);
}

struct Node {
    ino_t ino = 0;
    uid_t uid = 0;
    gid_t gid = 0;
    mode_t mode = 0; // the kind and the permissions
    dev_t rdev = 0;
};

std::optional<Node> Stat(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return std::nullopt;
    }
    return Node{st.st_ino, st.st_uid, st.st_gid, st.st_mode, st.st_rdev};
}

std::set<std::string> Entries(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

// One kind of target, made in `folder` by `make`, which returns the name to save under.
struct Row {
    const char* name;
    bool needsRoot;
    // Makes the target; may set the saver and add the other names the file is reachable by.
    std::function<std::string(const std::string& folder, const FreeIds& ids,
                              std::optional<Saver>& saver, std::vector<std::string>& names)>
        make;
    bool saved;        // else refused, with `words` in the message
    bool sameInode;    // the file itself is written, not replaced
    const char* words; // for a refusal
};

std::string MakeFile(const std::string& path, mode_t mode) {
    std::ofstream(path, std::ios::binary) << OLD_TEXT;
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
}

std::vector<Row> Rows() {
    return {
        {"regular file with one link", false,
         [](const std::string& f, const FreeIds&, std::optional<Saver>&,
            std::vector<std::string>&) { return MakeFile(f + "/drawing.qlf", 0604); },
         true, false, nullptr},
        {"hard-linked file", false,
         [](const std::string& f, const FreeIds&, std::optional<Saver>&,
            std::vector<std::string>& names) {
             const std::string path = MakeFile(f + "/drawing.qlf", 0640);
             names.push_back(f + "/other name.qlf");
             EXPECT_EQ(::link(path.c_str(), names.back().c_str()), 0);
             return path;
         },
         true, true, nullptr},
        {"symbolic link", false,
         [](const std::string& f, const FreeIds&, std::optional<Saver>&,
            std::vector<std::string>& names) {
             ::mkdir((f + "/real").c_str(), 0755);
             names.push_back(MakeFile(f + "/real/drawing.qlf", 0640));
             EXPECT_EQ(::symlink("real/drawing.qlf", (f + "/link.qlf").c_str()), 0);
             return f + "/link.qlf";
         },
         true, false, nullptr},
        {"another user's group-writable file", true,
         [](const std::string& f, const FreeIds& ids, std::optional<Saver>& saver,
            std::vector<std::string>&) {
             const std::string shared = f + "/shared";
             EXPECT_EQ(::mkdir(shared.c_str(), 0775), 0);
             EXPECT_EQ(::chown(shared.c_str(), ids.owner, ids.team), 0);
             EXPECT_EQ(::chmod(shared.c_str(), 0775), 0);
             const std::string path = MakeFile(shared + "/drawing.qlf", 0664);
             EXPECT_EQ(::chown(path.c_str(), ids.owner, ids.team), 0);
             saver = Saver{ids.saver, ids.saverGroup, {ids.saverGroup, ids.team}};
             return path;
         },
         true, true, nullptr},
        {"private file of a group other than the owner's own", true,
         [](const std::string& f, const FreeIds& ids, std::optional<Saver>& saver,
            std::vector<std::string>&) {
             const std::string home = f + "/home";
             EXPECT_EQ(::mkdir(home.c_str(), 0755), 0);
             EXPECT_EQ(::chown(home.c_str(), ids.owner, ids.ownerGroup), 0);
             const std::string path = MakeFile(home + "/drawing.qlf", 0640);
             EXPECT_EQ(::chown(path.c_str(), ids.owner, ids.team), 0);
             saver = Saver{ids.owner, ids.ownerGroup, {ids.ownerGroup, ids.team}};
             return path;
         },
         true, false, nullptr},
        {"read-only file of the saver", true,
         [](const std::string& f, const FreeIds& ids, std::optional<Saver>& saver,
            std::vector<std::string>&) {
             const std::string home = f + "/home";
             EXPECT_EQ(::mkdir(home.c_str(), 0755), 0);
             EXPECT_EQ(::chown(home.c_str(), ids.owner, ids.ownerGroup), 0);
             const std::string path = MakeFile(home + "/drawing.qlf", 0444);
             EXPECT_EQ(::chown(path.c_str(), ids.owner, ids.ownerGroup), 0);
             saver = Saver{ids.owner, ids.ownerGroup, {ids.ownerGroup}};
             return path;
         },
         false, true, "toestemming"},
        {"FIFO", false,
         [](const std::string& f, const FreeIds&, std::optional<Saver>&,
            std::vector<std::string>&) {
             EXPECT_EQ(::mkfifo((f + "/pipe").c_str(), 0644), 0);
             return f + "/pipe";
         },
         false, true, "FIFO"},
        {"character device", false,
         [](const std::string& f, const FreeIds&, std::optional<Saver>&,
            std::vector<std::string>&) -> std::string {
             // A node of its own where one may be made, so nothing of the system's is at risk.
             if (::geteuid() != 0) {
                 return "/dev/null";
             }
             struct stat null {};
             EXPECT_EQ(::stat("/dev/null", &null), 0);
             EXPECT_EQ(::mknod((f + "/null").c_str(), S_IFCHR | 0666, null.st_rdev), 0);
             return f + "/null";
         },
         false, true, "apparaat"},
        {"socket", false,
         [](const std::string& f, const FreeIds&, std::optional<Saver>&,
            std::vector<std::string>&) {
             const std::string path = f + "/socket";
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             EXPECT_LT(path.size(), sizeof address.sun_path);
             std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
             const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
             EXPECT_EQ(::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
             ::close(s);
             return path;
         },
         false, true, "socket"},
        {"directory", false,
         [](const std::string& f, const FreeIds&, std::optional<Saver>&,
            std::vector<std::string>&) {
             EXPECT_EQ(::mkdir((f + "/folder.qlf").c_str(), 0755), 0);
             return f + "/folder.qlf";
         },
         false, true, "map"},
        {"name of 250 bytes", false,
         [](const std::string& f, const FreeIds&, std::optional<Saver>&,
            std::vector<std::string>&) {
             return MakeFile(f + "/" + std::string(246, 'n') + ".qlf", 0640);
         },
         true, false, nullptr},
        {"name of 255 bytes", false,
         [](const std::string& f, const FreeIds&, std::optional<Saver>&,
            std::vector<std::string>&) {
             return MakeFile(f + "/" + std::string(251, 'n') + ".qlf", 0600);
         },
         true, false, nullptr},
    };
}

TEST(FileWriteTest, aSaveKeepsTheFileItselfAndRefusesWhatIsNoFile) {
    const bool root = ::geteuid() == 0;
    const FreeIds ids = root ? PickFreeIds() : FreeIds{};
    int ran = 0;
    for (const Row& row : Rows()) {
        SCOPED_TRACE(row.name);
        if (row.needsRoot && !root) {
            continue;
        }
        TempDir dir;
        const std::string folder = dir.File("");
        // Other users must reach the folders made inside.
        ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
        std::optional<Saver> saver;
        std::vector<std::string> names;
        const bool failedBefore = ::testing::Test::HasFailure();
        const std::string path = row.make(folder, ids, saver, names);
        if (!failedBefore && ::testing::Test::HasFailure()) {
            continue;
        }
        names.insert(names.begin(), path);
        const std::string parent = path.substr(0, path.rfind('/'));
        const std::optional<Node> before = Stat(path);
        ASSERT_TRUE(before.has_value());
        struct stat link {};
        ASSERT_EQ(::lstat(path.c_str(), &link), 0);
        const std::set<std::string> entries =
            parent == "/dev" ? std::set<std::string>{} : Entries(parent);

        const std::optional<std::string> reason = SaveAs(saver, path, NEW_TEXT);
        ++ran;

        if (row.saved) {
            EXPECT_EQ(reason, std::nullopt);
        } else if (!reason) {
            ADD_FAILURE() << "saved over it";
        } else {
            EXPECT_NE(reason->find(row.words), std::string::npos) << *reason;
        }
        const std::optional<Node> after = Stat(path);
        if (!after) {
            ADD_FAILURE() << "the target is gone";
            continue;
        }
        EXPECT_EQ(after->mode, before->mode);
        EXPECT_EQ(after->uid, before->uid);
        EXPECT_EQ(after->gid, before->gid);
        EXPECT_EQ(after->rdev, before->rdev);
        if (row.sameInode) {
            EXPECT_EQ(after->ino, before->ino);
        }
        if (S_ISREG(before->mode)) {
            for (const std::string& name : names) {
                EXPECT_EQ(TempDir::Read(name), row.saved ? NEW_TEXT : OLD_TEXT) << name;
            }
        }
        struct stat linkAfter {};
        EXPECT_EQ(::lstat(path.c_str(), &linkAfter), 0);
        EXPECT_EQ(linkAfter.st_mode & S_IFMT, link.st_mode & S_IFMT);
        if (parent != "/dev") {
            EXPECT_EQ(Entries(parent), entries);
        }
    }
    if (!root) {
        GTEST_SKIP() << "the rows with other users, groups and device nodes need root; " << ran
                     << " rows ran";
    }
}

// A FIFO is refused without being opened for writing, which would wait for a reader: with a
// reader held open here, nothing may reach it.
TEST(FileWriteTest, aFifoIsNeverWrittenInto) {
    TempDir dir;
    const std::string path = dir.File("pipe");
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0);
    const int reader = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    EXPECT_TRUE(WriteFileAtomicallyStd(path, NEW_TEXT).has_value());
    char byte = 0;
    EXPECT_EQ(::read(reader, &byte, 1), -1);
    EXPECT_EQ(errno, EAGAIN);
    ::close(reader);
}

// A file written in place by one save is left to it: a second save at the same time would mix
// the two drawings, and the first one's write-back after a failure would undo the second.
TEST(FileWriteTest, aSecondSaveOfAFileWrittenInPlaceIsRefused) {
    TempDir dir;
    const std::string path = dir.Write("drawing.qlf", OLD_TEXT);
    ASSERT_EQ(::link(path.c_str(), dir.File("other.qlf").c_str()), 0);
    const int held = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);
    const std::optional<std::string> reason = WriteFileAtomicallyStd(path, NEW_TEXT);
    ::close(held);
    ASSERT_TRUE(reason.has_value());
    EXPECT_EQ(TempDir::Read(path), OLD_TEXT);
    EXPECT_EQ(Entries(dir.File("")), (std::set<std::string>{"drawing.qlf", "other.qlf"}));
    // Once it is let go, the save goes through.
    EXPECT_EQ(WriteFileAtomicallyStd(path, NEW_TEXT), std::nullopt);
    EXPECT_EQ(TempDir::Read(dir.File("other.qlf")), NEW_TEXT);
}

} // namespace
} // namespace quillet
