// The real program started from a terminal: --help and --version without a display, one clear
// line and exit status 1 when no window can be shown, and a line on stderr for a named
// project that is not opened.

#include "platform/qt/command_line.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Whatever the test runs under, the program sees no display unless a row gives one.
QProcessEnvironment Environment(const QStringList& settings) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}) {
        env.remove(QString::fromLatin1(name));
    }
    // No recovery file of the user's is offered: its question would hold the program up.
    static const QTemporaryDir state;
    env.insert(QStringLiteral("XDG_STATE_HOME"), state.path());
    for (const QString& setting : settings) {
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    }
    return env;
}

struct Outcome {
    bool exited = false; // normally, not by a signal or the deadline
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Outcome Run(const QStringList& args, const QStringList& settings) {
    QProcess quillet;
    quillet.setProcessEnvironment(Environment(settings));
    quillet.start(QStringLiteral(QUILLET_EXE), args);
    // A deadline against a hang only; the program answers within milliseconds.
    const bool finished = quillet.waitForFinished(60'000);
    if (!finished) {
        quillet.kill();
        quillet.waitForFinished();
    }
    return {finished && quillet.exitStatus() == QProcess::NormalExit, quillet.exitCode(),
            quillet.readAllStandardOutput(), quillet.readAllStandardError()};
}

// The first line of the program's own on stderr, read while its window is up; then it is
// ended. Qt's lines (about the offscreen platform, say) are passed over.
QString FirstOwnLine(const QStringList& args) {
    QProcess quillet;
    quillet.setProcessEnvironment(Environment({QStringLiteral("QT_QPA_PLATFORM=offscreen")}));
    quillet.start(QStringLiteral(QUILLET_EXE), args);
    quillet.setReadChannel(QProcess::StandardError);
    QString line;
    while (line.isEmpty() && quillet.waitForReadyRead(60'000)) {
        while (quillet.canReadLine()) {
            const QString next = QString::fromLocal8Bit(quillet.readLine()).chopped(1);
            if (next.startsWith(QStringLiteral("quillet: "))) {
                line = next;
                break;
            }
        }
    }
    quillet.kill();
    quillet.waitForFinished();
    return line;
}

// An X display number nobody listens on, as a socket file or in the abstract namespace.
QString FreeDisplay() {
    QFile sockets(QStringLiteral("/proc/net/unix"));
    const QByteArray listening = sockets.open(QIODevice::ReadOnly) ? sockets.readAll() : "";
    for (int n = 4000;; ++n) {
        const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(n);
        if (!QFile::exists(socket) && !listening.contains(("@" + socket + "\n").toUtf8())) {
            return QStringLiteral(":%1").arg(n);
        }
    }
}

const QByteArray NO_DISPLAY = "quillet: no display to open the window on (DISPLAY is not set); "
                              "start it from a desktop session, or on a virtual display with "
                              "xvfb-run -a\n";

} // namespace

class CommandLineTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path(const QString& name) const { return dir_.filePath(name); }

  private slots:
    // Before Qt starts: whether the window can open, and why not, for the window systems asked
    // for, the displays there and Qt's Wayland plugin in its folder or not.
    void missingDisplayNamesWhatIsMissing_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<bool>("plugin");
        QTest::addColumn<QString>("why"); // empty: the window may open
        const QString noPlugin =
            "Qt's Wayland platform plugin is not installed (Debian package qt6-wayland)";
        const QString noX = "no display to open the window on (DISPLAY is not set%1); start it "
                            "from a desktop session, or on a virtual display with xvfb-run -a";
        const QStringList wayland{"WAYLAND_DISPLAY=wayland-0"};
        QTest::newRow("Wayland with its plugin") << QStringList{} << wayland << true << QString();
        QTest::newRow("Wayland without its plugin, X answers")
            << QStringList{} << wayland + QStringList{"DISPLAY=:5"} << false << QString();
        QTest::newRow("Wayland without its plugin, no X")
            << QStringList{} << wayland << false << noX.arg(", and " + noPlugin);
        QTest::newRow("Wayland without its plugin, X silent")
            << QStringList{} << wayland + QStringList{"DISPLAY=:6"} << false
            << "cannot connect to the display ':6' (" + noPlugin + ")";
        QTest::newRow("no Wayland, no X, no plugin")
            << QStringList{} << QStringList{} << false << noX.arg(QString());
        QTest::newRow("no Wayland, X answers, no plugin")
            << QStringList{} << QStringList{"DISPLAY=:5"} << false << QString();
        QTest::newRow("X asked for, no plugin")
            << QStringList{} << wayland + QStringList{"QT_QPA_PLATFORM=xcb"} << false
            << noX.arg(QString());
        QTest::newRow("Wayland asked for, no plugin")
            << QStringList{} << QStringList{"QT_QPA_PLATFORM=wayland", "DISPLAY=:5"} << false
            << noPlugin;
        QTest::newRow("-platform wayland-egl over xcb, no plugin")
            << QStringList{"-platform", "wayland-egl"}
            << QStringList{"QT_QPA_PLATFORM=xcb", "DISPLAY=:5"} << false << noPlugin;
        QTest::newRow("Wayland asked for, with its plugin")
            << QStringList{} << QStringList{"QT_QPA_PLATFORM=wayland"} << true << QString();
        QTest::newRow("Wayland or X asked for, no plugin, no X")
            << QStringList{} << QStringList{"QT_QPA_PLATFORM=wayland;xcb"} << false
            << noX.arg(", and " + noPlugin);
        QTest::newRow("offscreen")
            << QStringList{} << QStringList{"QT_QPA_PLATFORM=offscreen"} << false << QString();
    }
    void missingDisplayNamesWhatIsMissing() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, env);
        QFETCH(bool, plugin);
        QTemporaryDir platforms;
        QVERIFY(platforms.isValid());
        // Another plugin is there in any case: only Wayland's own counts.
        for (const QString& name : plugin ? QStringList{"libqxcb.so", "libqwayland-generic.so"}
                                          : QStringList{"libqxcb.so"}) {
            QFile file(platforms.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        std::vector<std::string> argStrings{"quillet"};
        for (const QString& arg : args) {
            argStrings.push_back(arg.toStdString());
        }
        std::vector<const char*> argv;
        for (const std::string& arg : argStrings) {
            argv.push_back(arg.c_str());
        }
        const auto lookup = [&env](const char* name) {
            for (const QString& setting : env) {
                if (setting.section(QLatin1Char('='), 0, 0) == QLatin1String(name)) {
                    return setting.section(QLatin1Char('='), 1).toStdString();
                }
            }
            return std::string();
        };
        const auto answers = [](const std::string& display) { return display == ":5"; };
        const std::optional<std::string> why =
            quillet::MissingDisplay(static_cast<int>(argv.size()), argv.data(), lookup, answers,
                                    platforms.path().toStdString());
        QTEST(QString::fromStdString(why.value_or("")), "why");
    }

    void initTestCase() {
        QVERIFY(dir_.isValid());
        QFile notes(path(QStringLiteral("my notes.txt")));
        QVERIFY(notes.open(QIODevice::WriteOnly));
        QFile bad(path(QStringLiteral("bad.qlf")));
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write("not a project\r\n") > 0);
        QVERIFY(QDir(dir_.path()).mkdir(QStringLiteral("folder.qlf")));
    }

    void helpTextNamesUsageAndOptions() {
        const QString help = QString::fromStdString(quillet::HelpText());
        QVERIFY(help.startsWith(QStringLiteral("Usage: quillet [FILE.qlf]\n")));
        QVERIFY(help.contains(QStringLiteral("  --help ")));
        QVERIFY(help.contains(QStringLiteral("  --version ")));
    }

    void messagesBecomeOneLine_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("detail");
        QTest::addColumn<QString>("line");
        QTest::newRow("CR LF") << "Kan 'a  b.qlf' niet opslaan.\r\nSchijf vol" << QString()
                               << "quillet: Kan 'a  b.qlf' niet opslaan. Schijf vol";
        QTest::newRow("detail") << "Failed to open 'x.qlf'"
                                << "Line 3:\nbad\rend"
                                << "quillet: Failed to open 'x.qlf': Line 3: bad end";
    }
    void messagesBecomeOneLine() {
        QFETCH(QString, text);
        QFETCH(QString, detail);
        QTEST(
            QString::fromStdString(quillet::MessageLine(text.toStdString(), detail.toStdString())),
            "line");
    }

    void exitsWithoutAWindow_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("err");
        const QByteArray help = QByteArray::fromStdString(quillet::HelpText());
        const QByteArray version = "quillet " QUILLET_VERSION "\n";
        const QString free = FreeDisplay();
        const QByteArray unreachable =
            "quillet: cannot connect to the display '" + free.toUtf8() + "'\n";
        QTest::newRow("help") << QStringList{"--help"} << QStringList{} << 0 << help
                              << QByteArray();
        QTest::newRow("version") << QStringList{"--version"} << QStringList{} << 0 << version
                                 << QByteArray();
        QTest::newRow("the first option wins")
            << QStringList{"--help", "--version"} << QStringList{} << 0 << help << QByteArray();
        QTest::newRow("an option after a path") << QStringList{"x.qlf", "--version", "--help"}
                                                << QStringList{} << 0 << version << QByteArray();
        QTest::newRow("no display")
            << QStringList{"x.qlf"} << QStringList{} << 1 << QByteArray() << NO_DISPLAY;
        QTest::newRow("X asked for despite Wayland")
            << QStringList{} << QStringList{"QT_QPA_PLATFORM=xcb", "WAYLAND_DISPLAY=wayland-9"} << 1
            << QByteArray() << NO_DISPLAY;
        QTest::newRow("-platform over QT_QPA_PLATFORM")
            << QStringList{"-platform", "xcb"} << QStringList{"QT_QPA_PLATFORM=offscreen"} << 1
            << QByteArray() << NO_DISPLAY;
        QTest::newRow("display nobody listens on")
            << QStringList{} << QStringList{"DISPLAY=" + free} << 1 << QByteArray() << unreachable;
        QTest::newRow("--display without DISPLAY")
            << QStringList{"--display", free} << QStringList{} << 1 << QByteArray() << unreachable;
        QTest::newRow("malformed DISPLAY")
            << QStringList{} << QStringList{"DISPLAY=nonsense"} << 1 << QByteArray()
            << QByteArray("quillet: cannot connect to the display 'nonsense'\n");
    }
    void exitsWithoutAWindow() {
        QFETCH(QStringList, args);
        QFETCH(QStringList, env);
        const Outcome outcome = Run(args, env);
        QVERIFY(outcome.exited);
        QTEST(outcome.exitCode, "exitCode");
        QTEST(outcome.out, "out");
        QTEST(outcome.err, "err");
    }

    // Where Qt itself finds no window system it can start, its abort becomes a plain exit.
    void qtFailingToStartEndsWithOneLineNotACrash() {
        const Outcome outcome = Run({}, {QStringLiteral("WAYLAND_DISPLAY=wayland-9")});
        QVERIFY(outcome.exited);
        QCOMPARE(outcome.exitCode, 1);
        const QList<QByteArray> lines = outcome.err.trimmed().split('\n');
        QVERIFY2(lines.last().startsWith("quillet: cannot open a window: "), outcome.err);
    }

    void namedProjectNotOpenedIsExplained_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("line"); // a pattern
        const auto because = [](const QString& p, const char* reason) {
            return QRegularExpression::escape(
                QStringLiteral("quillet: '%1' is not opened: %2").arg(p, reason));
        };
        // The shell split the unquoted name; the program joins the words again.
        QTest::newRow("not .qlf") << QStringList{path("my"), "notes.txt"}
                                  << because(path("my notes.txt"), "not a .qlf file");
        QTest::newRow("missing") << QStringList{path("missing.qlf")}
                                 << because(path("missing.qlf"), "no such file");
        QTest::newRow("folder") << QStringList{path("folder.qlf")}
                                << because(path("folder.qlf"), "it is a folder");
        QTest::newRow("malformed")
            << QStringList{path("bad.qlf")}
            << QRegularExpression::escape(
                   QStringLiteral("quillet: Failed to open '%1': Line 1: ").arg(path("bad.qlf"))) +
                   QStringLiteral(".+");
    }
    void namedProjectNotOpenedIsExplained() {
        QFETCH(QStringList, args);
        QFETCH(QString, line);
        const QString shown = FirstOwnLine(args);
        QVERIFY2(
            QRegularExpression(QRegularExpression::anchoredPattern(line)).match(shown).hasMatch(),
            qPrintable(shown));
    }
};

QTEST_GUILESS_MAIN(CommandLineTest)
#include "command_line_test.moc"
