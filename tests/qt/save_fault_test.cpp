// Saves that fail for real: a file-size limit, a full disk, a read-only folder. The writes run
// in write_probe, so the limit applies to that process only.

#include "platform/file_write.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

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

// Every writer and file kind, onto a new name and over an existing file, small and large.
void AddRows() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("existing");
    QTest::addColumn<qint64>("bytes");
    for (const char* mode : {"project", "bitmap", "std"}) {
        for (const bool existing : {false, true}) {
            for (const qint64 bytes : {SMALL, LARGE}) {
                QTest::addRow("%s/%s/%s", mode, existing ? "existing" : "new",
                              bytes == SMALL ? "small" : "large")
                    << QString::fromLatin1(mode) << existing << bytes;
            }
        }
    }
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

} // namespace

class SaveFaultTest : public QObject {
    Q_OBJECT

  private slots:
    void aWritePastTheFileSizeLimitChangesNothing_data() { AddRows(); }
    void aWritePastTheFileSizeLimitChangesNothing() {
        QFETCH(QString, mode);
        QFETCH(bool, existing);
        QFETCH(qint64, bytes);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("drawing"));
        if (existing) {
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write(OLD_FILE) == OLD_FILE.size());
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
        QCOMPARE(Entries(dir.path()), QStringList{QStringLiteral("drawing")});
    }

    void aWriteOntoAFullDiskChangesNothing_data() { AddRows(); }
    void aWriteOntoAFullDiskChangesNothing() {
        QFETCH(QString, mode);
        QFETCH(bool, existing);
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
            QFile old(path);
            QVERIFY(old.open(QIODevice::WriteOnly) && old.write(OLD_FILE) == OLD_FILE.size());
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
        QCOMPARE(Entries(dir.path()).size(), 2); // the filler and the drawing
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
};

QTEST_MAIN(SaveFaultTest)
#include "save_fault_test.moc"
