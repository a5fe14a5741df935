// Saves that fail for real: a file-size limit, a full disk, a read-only folder, a kill at any
// system call. The writes run in write_probe, so the limit applies to that process only.

#include "platform/file_write.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/ptrace.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// Stays in Qt's 16 KiB write buffer until the final flush, but needs more than one page.
constexpr qint64 SMALL = 10'000;
constexpr qint64 LARGE = 1'500'000;
const QByteArray OLD_FILE = "<Quillet>\r\nthe old drawing\r\n";

struct ProbeResult {
    int exitCode = -1;
    QString output;
};

// Runs the probe; a negative limit means none.
ProbeResult WriteWithProbe(const QString& mode, const QString& path, qint64 bytes,
                           qint64 limit = -1) {
    QStringList args{mode, path, QString::number(bytes)};
    if (limit >= 0) {
        args << QString::number(limit);
    }
    QProcess probe;
    probe.start(QStringLiteral(WRITE_PROBE), args);
    // A deadline against a hung probe only; the probe normally ends within milliseconds.
    if (!probe.waitForFinished(120'000) || probe.exitStatus() != QProcess::NormalExit) {
        return {};
    }
    return {probe.exitCode(), QString::fromLocal8Bit(probe.readAllStandardOutput()).trimmed()};
}

QStringList Entries(const QString& folder) {
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System |
                                  QDir::NoDotAndDotDot);
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The plain words DescribeWriteError gives for `errorNumber`, without the system's own text
// (which follows the locale of the process).
QString Words(int errorNumber) {
    return QString::fromStdString(quillet::DescribeWriteError(errorNumber))
        .section(QStringLiteral(" ("), 0, 0);
}

// Every writer and file kind, onto a new name, over an existing file and over one with a
// second name (which is written in place), small and large.
void AddRows() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<bool>("linked");
    QTest::addColumn<qint64>("bytes");
    for (const char* mode : {"project", "bitmap", "std"}) {
        for (const char* target : {"new", "existing", "hard-linked"}) {
            for (const qint64 bytes : {SMALL, LARGE}) {
                QTest::addRow("%s/%s/%s", mode, target, bytes == SMALL ? "small" : "large")
                    << QString::fromLatin1(mode) << (std::strcmp(target, "new") != 0)
                    << (std::strcmp(target, "hard-linked") == 0) << bytes;
            }
        }
    }
}

// The old file, with a second name when `linked`.
bool MakeOldFile(const QString& path, bool linked) {
    QFile old(path);
    if (!old.open(QIODevice::WriteOnly) || old.write(OLD_FILE) != OLD_FILE.size()) {
        return false;
    }
    old.close();
    return !linked || ::link(QFile::encodeName(path).constData(),
                             QFile::encodeName(path + QStringLiteral("-link")).constData()) == 0;
}

// The write failed for `errorNumber`, in the words for the user, and the folder is as it was.
void CheckFailed(const ProbeResult& result, int errorNumber, const QString& folder,
                 const QStringList& before, const QString& path, bool existing) {
    QCOMPARE(result.exitCode, 1);
    QVERIFY2(result.output.startsWith(Words(errorNumber)), qPrintable(result.output));
    QCOMPARE(Entries(folder), before);
    if (existing) {
        QCOMPARE(Read(path), OLD_FILE);
    }
    if (QFile::exists(path + QStringLiteral("-link"))) {
        QCOMPARE(Read(path + QStringLiteral("-link")), OLD_FILE);
    }
}

// A tmpfs of 64 KiB on `folder` with one page left free, unmounted again on leaving.
class TinyDisk {
  public:
    explicit TinyDisk(const QString& folder) : folder_(QFile::encodeName(folder)) {
        mounted_ = ::mount("tmpfs", folder_.constData(), "tmpfs", 0, "size=64k") == 0;
        mountError_ = mounted_ ? 0 : errno;
    }
    ~TinyDisk() {
        if (mounted_) {
            ::umount(folder_.constData());
        }
    }
    TinyDisk(const TinyDisk&) = delete;
    TinyDisk& operator=(const TinyDisk&) = delete;

    bool mounted() const { return mounted_; }
    int mountError() const { return mountError_; }

    // Fills the disk, then frees one page.
    bool fillAllButOnePage() {
        const QByteArray filler = folder_ + "/filler";
        const int fd = ::open(filler.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0) {
            return false;
        }
        const long page = ::sysconf(_SC_PAGESIZE);
        const QByteArray chunk(page, 'f');
        off_t size = 0;
        while (::write(fd, chunk.constData(), static_cast<std::size_t>(page)) == page) {
            size += page;
        }
        const bool full = errno == ENOSPC && size >= page;
        const bool freed = full && ::ftruncate(fd, size - page) == 0;
        return ::close(fd) == 0 && freed;
    }

  private:
    QByteArray folder_;
    bool mounted_ = false;
    int mountError_ = 0;
};

// The probe's project text of `size` bytes, as write_probe makes it.
QByteArray ProjectText(qint64 size) {
    QByteArray text;
    for (int i = 0; text.size() < size; ++i) {
        text += "<Line " + QByteArray::number(i) + ">\r\n";
    }
    text.truncate(size);
    return text;
}

enum class Ending { Killed, Finished, Failed, NoTracing };

// Runs the probe under ptrace and kills it (SIGKILL) as it enters its `call`-th system call
// counted from its stop just before the write; Finished when the write ended before that. The
// count, not a clock, picks the moment, so every run is the same.
Ending WriteKilledAtCall(const QString& mode, const QString& path, qint64 bytes, int call) {
    QByteArray program = WRITE_PROBE;
    QByteArray modeArg = mode.toLatin1();
    QByteArray pathArg = QFile::encodeName(path);
    QByteArray sizeArg = QByteArray::number(bytes);
    std::vector<char*> argv{program.data(), modeArg.data(), pathArg.data(), sizeArg.data(),
                            nullptr};
    QByteArray stop = "WRITE_PROBE_STOP=1";
    std::vector<char*> env{stop.data()};
    for (char** e = environ; *e != nullptr; ++e) {
        env.push_back(*e);
    }
    env.push_back(nullptr);
    const int quiet = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(quiet, STDOUT_FILENO);
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) {
            ::_exit(126);
        }
        ::execve(argv[0], argv.data(), env.data());
        ::_exit(127);
    }
    ::close(quiet);
    if (pid < 0) {
        return Ending::Failed;
    }
    int status = 0;
    // Stopped at the exec.
    if (::waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) {
        return WIFEXITED(status) && WEXITSTATUS(status) == 126 ? Ending::NoTracing : Ending::Failed;
    }
    ::ptrace(PTRACE_SETOPTIONS, pid, nullptr, PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL);
    // Up to the probe's own stop before the write.
    int signal = 0;
    for (;;) {
        ::ptrace(PTRACE_CONT, pid, nullptr, signal);
        if (::waitpid(pid, &status, 0) != pid || !WIFSTOPPED(status)) {
            return Ending::Failed;
        }
        if (WSTOPSIG(status) == SIGSTOP) {
            break;
        }
        signal = WSTOPSIG(status) == SIGTRAP ? 0 : WSTOPSIG(status);
    }
    int calls = 0;
    bool inCall = false;
    signal = 0;
    for (;;) {
        ::ptrace(PTRACE_SYSCALL, pid, nullptr, signal);
        signal = 0;
        if (::waitpid(pid, &status, 0) != pid) {
            return Ending::Failed;
        }
        if (WIFEXITED(status)) {
            return WEXITSTATUS(status) == 0 ? Ending::Finished : Ending::Failed;
        }
        if (!WIFSTOPPED(status)) {
            return Ending::Failed;
        }
        if (WSTOPSIG(status) == (SIGTRAP | 0x80)) {
            inCall = !inCall;
            if (inCall && ++calls == call) {
                ::kill(pid, SIGKILL);
                ::waitpid(pid, &status, 0);
                return Ending::Killed;
            }
        } else {
            signal = WSTOPSIG(status);
        }
    }
}

} // namespace

class SaveFaultTest : public QObject {
    Q_OBJECT

  private slots:
    void aWritePastTheFileSizeLimitChangesNothing_data() { AddRows(); }
    void aWritePastTheFileSizeLimitChangesNothing() {
        QFETCH(QString, mode);
        QFETCH(bool, existing);
        QFETCH(bool, linked);
        QFETCH(qint64, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("drawing"));
        if (existing) {
            QVERIFY(MakeOldFile(path, linked));
        }
        const QStringList before = Entries(dir.path());

        CheckFailed(WriteWithProbe(mode, path, bytes, bytes / 2), EFBIG, dir.path(), before, path,
                    existing);
        if (QTest::currentTestFailed()) {
            return;
        }

        // Room enough: the same write goes through.
        const ProbeResult written = WriteWithProbe(mode, path, bytes, 64 << 20);
        QCOMPARE(written.output, QStringLiteral("ok"));
        QCOMPARE(written.exitCode, 0);
        QVERIFY(QFileInfo(path).size() >= bytes);
        QCOMPARE(Entries(dir.path()),
                 before.isEmpty() ? QStringList{QStringLiteral("drawing")} : before);
        if (linked) {
            QCOMPARE(Read(path + QStringLiteral("-link")), Read(path));
        }
    }

    void aWriteOntoAFullDiskChangesNothing_data() { AddRows(); }
    void aWriteOntoAFullDiskChangesNothing() {
        QFETCH(QString, mode);
        QFETCH(bool, existing);
        QFETCH(bool, linked);
        QFETCH(qint64, bytes);
        if (::geteuid() != 0) {
            QSKIP("mounting a tiny disk needs root");
        }
        QTemporaryDir dir;
        TinyDisk disk(dir.path());
        if (!disk.mounted()) {
            QSKIP(qPrintable(QStringLiteral("cannot mount a tmpfs here: %1")
                                 .arg(QString::fromLocal8Bit(std::strerror(disk.mountError())))));
        }
        const QString path = dir.filePath(QStringLiteral("drawing"));
        if (existing) {
            QVERIFY(MakeOldFile(path, linked));
        }
        QVERIFY(disk.fillAllButOnePage());
        const QStringList before = Entries(dir.path());

        CheckFailed(WriteWithProbe(mode, path, bytes), ENOSPC, dir.path(), before, path, existing);
        if (QTest::currentTestFailed()) {
            return;
        }

        // What fits in the free page is written.
        const ProbeResult written = WriteWithProbe(mode, path, 100);
        QCOMPARE(written.output, QStringLiteral("ok"));
        QVERIFY(Read(path) != OLD_FILE && QFileInfo(path).size() >= 100);
        // The filler and the drawing, with its second name.
        QCOMPARE(Entries(dir.path()).size(), linked ? 3 : 2);
        if (linked) {
            QCOMPARE(Read(path + QStringLiteral("-link")), Read(path));
        }
    }

    void aWriteIntoAReadOnlyFolderChangesNothing() {
        if (::geteuid() == 0) {
            QSKIP("root may write into a read-only folder");
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("drawing"));
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write(OLD_FILE) == OLD_FILE.size());
        old.close();
        const QStringList before = Entries(dir.path());
        QVERIFY(QFile::setPermissions(dir.path(), QFile::ReadOwner | QFile::ExeOwner |
                                                      QFile::ReadGroup | QFile::ExeGroup |
                                                      QFile::ReadOther | QFile::ExeOther));
        const auto writable = qScopeGuard([&dir] {
            QFile::setPermissions(dir.path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        });
        for (const char* mode : {"project", "bitmap", "std"}) {
            for (const QString& target : {path, dir.filePath(QStringLiteral("new"))}) {
                CheckFailed(WriteWithProbe(QString::fromLatin1(mode), target, SMALL), EACCES,
                            dir.path(), before, path, true);
                if (QTest::currentTestFailed()) {
                    qWarning("%s onto %s", mode, qPrintable(target));
                    return;
                }
            }
        }
    }

    // A save killed at any of its system calls leaves the old or the new drawing under every
    // name of the file, and the first save after it leaves nothing else in the folder.
    void aKilledSaveLeavesTheOldOrTheNewFile_data() {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("target");
        for (const char* mode : {"project", "std"}) {
            for (const char* target : {"new", "existing", "hard-linked", "long name"}) {
                QTest::addRow("%s/%s", mode, target)
                    << QString::fromLatin1(mode) << QString::fromLatin1(target);
            }
        }
    }
    void aKilledSaveLeavesTheOldOrTheNewFile() {
        QFETCH(QString, mode);
        QFETCH(QString, target);
        const QByteArray newFile = ProjectText(SMALL);
        int killed = 0;
        for (int call = 1;; ++call) {
            QTemporaryDir dir;
            const QString name = target == QLatin1String("long name")
                                     ? QString(251, QLatin1Char('n')) + QStringLiteral(".qlf")
                                     : QStringLiteral("drawing.qlf");
            const QString path = dir.filePath(name);
            QStringList names{name};
            if (target != QLatin1String("new")) {
                QFile old(path);
                QVERIFY(old.open(QIODevice::WriteOnly) && old.write(OLD_FILE) == OLD_FILE.size());
            }
            if (target == QLatin1String("hard-linked")) {
                names << QStringLiteral("other name.qlf");
                QVERIFY(::link(QFile::encodeName(path).constData(),
                               QFile::encodeName(dir.filePath(names.back())).constData()) == 0);
            }
            names.sort();

            const Ending ending = WriteKilledAtCall(mode, path, SMALL, call);
            if (ending == Ending::NoTracing) {
                QSKIP("this system does not let a process trace its child (ptrace)");
            }
            QVERIFY2(ending != Ending::Failed, qPrintable(QStringLiteral("call %1").arg(call)));
            const QString at = QStringLiteral("killed at call %1").arg(call);

            // What a kill may leave: the complete new file under a name of ours, or, while the
            // file itself is written, a copy of the old one.
            bool oldKept = false;
            for (const QString& entry : Entries(dir.path())) {
                if (names.contains(entry)) {
                    continue;
                }
                const QByteArray left = Read(dir.filePath(entry));
                oldKept =
                    oldKept || (entry.startsWith(QStringLiteral(".qlf-old-")) && left == OLD_FILE);
                QVERIFY2(entry.startsWith(QStringLiteral(".qlf-")) &&
                             (left == newFile || left == OLD_FILE),
                         qPrintable(at + QStringLiteral(" left ") + entry));
            }
            const QByteArray now = Read(path);
            QVERIFY2(now == newFile || oldKept ||
                         (target == QLatin1String("new") ? !QFile::exists(path) : now == OLD_FILE),
                     qPrintable(at));
            if (names.size() > 1) {
                struct stat first {};
                struct stat second {};
                QVERIFY(::stat(QFile::encodeName(path).constData(), &first) == 0);
                QVERIFY(::stat(QFile::encodeName(dir.filePath(names.back())).constData(),
                               &second) == 0);
                QVERIFY2(first.st_ino == second.st_ino, qPrintable(at));
            }

            const std::optional<std::string> reason = quillet::WriteFileAtomicallyStd(
                QFile::encodeName(path).toStdString(), newFile.toStdString());
            QVERIFY2(!reason, reason ? reason->c_str() : "");
            QCOMPARE(Entries(dir.path()), names);
            if (ending == Ending::Finished) {
                break;
            }
            ++killed;
        }
        // The save made its system calls, each a place to be killed at.
        QVERIFY(killed > 5);
        qInfo("killed at each of %d system calls", killed);
    }
};

QTEST_MAIN(SaveFaultTest)
#include "save_fault_test.moc"
