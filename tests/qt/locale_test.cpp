// The user's locale end to end: which environment variables decide the decimal separator of
// saved projects, and a drawing saved under a Dutch locale opens under an English one and the
// other way round. Qt reads the locale once per process, so each environment gets a process
// of its own: this test started again in a helper mode.

#include "app/main_window.h"
#include "platform/qt/canvas_widget.h"
#include "platform/qt/main_window_view.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>

using namespace quillet;

namespace {

// The Qt platform with its messages written out instead of shown: a helper must not wait
// for a click.
class UnattendedPlatform : public QtPlatform {
  public:
    using QtPlatform::MsgBox;
    using QtPlatform::QtPlatform;
    MsgResult MsgBox(const std::string& text, const std::string&, MsgIcon, MsgButtons buttons,
                     const std::string& detail) override {
        std::printf("message %s %s\n", text.c_str(), detail.c_str());
        return buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
    }
};

void PrintCorners(const frmMain& form) {
    for (int i = 1; i <= form.intPointCount; ++i) {
        std::printf(
            "corner %016llx %016llx\n",
            static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(form.arrPoints[i].X)),
            static_cast<unsigned long long>(std::bit_cast<std::uint64_t>(form.arrPoints[i].Y)));
    }
}

// The helper modes:
//   separator   prints the decimal separator projects are saved with
//   save PATH   draws a triangle, saves it to PATH and prints its corners as drawn
//   load PATH   opens PATH and prints its corners as read
// Corners are printed as the bits of their doubles.
int Helper(const QStringList& args) {
    MainWindowView view;
    UnattendedPlatform platform(view);
    const QSize canvas = view.canvas()->innerSize();
    frmMain form(platform, canvas.width(), canvas.height());
    view.attach(form);
    view.load();
    const QString mode = args.value(0);
    const std::string path = QFile::encodeName(args.value(1)).toStdString();
    if (mode == QStringLiteral("separator")) {
        std::printf("%c\n", platform.DecimalSeparator());
    } else if (mode == QStringLiteral("save")) {
        // A triangle, the corner count the program starts with: one side along the top, the
        // apex below it, at a height that is not a whole number.
        for (const auto& [x, y] : {std::pair{100.0F, 100.0F}, {200.0F, 100.0F}, {150.0F, 150.0F}}) {
            form.picMain_MouseDown(1, 0, x, y);
            form.picMain_MouseMove(1, 0, x, y);
            form.picMain_MouseUp(1, 0, x, y);
            form.picMain_Click();
        }
        PrintCorners(form);
        return form.SaveProject(path) ? 0 : 1;
    } else if (mode == QStringLiteral("load")) {
        form.LoadProject(path);
        PrintCorners(form);
    } else {
        return 2;
    }
    return 0;
}

// The environment of a user with these locale settings and no others.
QProcessEnvironment LocaleEnvironment(const QStringList& settings) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString& name : env.keys()) {
        if (name.startsWith(QStringLiteral("LC_")) || name == QStringLiteral("LANG") ||
            name == QStringLiteral("LANGUAGE")) {
            env.remove(name);
        }
    }
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const QString& setting : settings) {
        env.insert(setting.section(QLatin1Char('='), 0, 0), setting.section(QLatin1Char('='), 1));
    }
    return env;
}

// The helper's output, or nothing when it failed.
std::optional<QByteArray> RunHelper(const QStringList& args, const QStringList& settings) {
    QProcess helper;
    helper.setProcessEnvironment(LocaleEnvironment(settings));
    helper.start(QCoreApplication::applicationFilePath(), QStringList{"--helper"} + args);
    // A deadline against a hang only; the helper ends within a second.
    if (!helper.waitForFinished(120'000) || helper.exitStatus() != QProcess::NormalExit ||
        helper.exitCode() != 0) {
        return std::nullopt;
    }
    return helper.readAllStandardOutput();
}

double FromBits(const QByteArray& hex) {
    return std::bit_cast<double>(static_cast<std::uint64_t>(hex.toULongLong(nullptr, 16)));
}

const QStringList DUTCH{"LANG=nl_NL.UTF-8"};
const QStringList ENGLISH{"LANG=en_US.UTF-8"};

} // namespace

class LocaleTest : public QObject {
    Q_OBJECT

  private slots:
    void separatorFollowsLcAllThenLcNumericThenLang_data() {
        QTest::addColumn<QStringList>("settings");
        QTest::addColumn<QByteArray>("separator");
        QTest::newRow("LANG nl") << DUTCH << QByteArray(",");
        QTest::newRow("LANG en") << ENGLISH << QByteArray(".");
        QTest::newRow("LC_NUMERIC nl over LANG en")
            << QStringList{"LANG=en_US.UTF-8", "LC_NUMERIC=nl_NL.UTF-8"} << QByteArray(",");
        QTest::newRow("LC_NUMERIC en over LANG nl")
            << QStringList{"LANG=nl_NL.UTF-8", "LC_NUMERIC=en_US.UTF-8"} << QByteArray(".");
        QTest::newRow("LC_ALL en over LC_NUMERIC nl")
            << QStringList{"LANG=nl_NL.UTF-8", "LC_NUMERIC=nl_NL.UTF-8", "LC_ALL=en_US.UTF-8"}
            << QByteArray(".");
        QTest::newRow("LC_ALL nl over LC_NUMERIC en")
            << QStringList{"LANG=en_US.UTF-8", "LC_NUMERIC=en_US.UTF-8", "LC_ALL=nl_NL.UTF-8"}
            << QByteArray(",");
        QTest::newRow("empty LC_ALL counts as unset")
            << QStringList{"LANG=nl_NL.UTF-8", "LC_ALL="} << QByteArray(",");
        QTest::newRow("language of messages is not the number format")
            << QStringList{"LANG=en_US.UTF-8", "LC_MESSAGES=nl_NL.UTF-8", "LANGUAGE=nl"}
            << QByteArray(".");
        QTest::newRow("nothing set") << QStringList{} << QByteArray(".");
    }
    void separatorFollowsLcAllThenLcNumericThenLang() {
        QFETCH(QStringList, settings);
        const std::optional<QByteArray> out = RunHelper({QStringLiteral("separator")}, settings);
        QVERIFY(out);
        QTEST(out->trimmed(), "separator");
    }

    void drawingTravelsBetweenDutchAndEnglish_data() {
        QTest::addColumn<QStringList>("saver");
        QTest::addColumn<QStringList>("reader");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("other");
        QTest::newRow("nl to en") << DUTCH << ENGLISH << QStringLiteral(",") << QStringLiteral(".");
        QTest::newRow("en to nl") << ENGLISH << DUTCH << QStringLiteral(".") << QStringLiteral(",");
    }
    void drawingTravelsBetweenDutchAndEnglish() {
        QFETCH(QStringList, saver);
        QFETCH(QStringList, reader);
        QFETCH(QString, written);
        QFETCH(QString, other);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("triangle.qlf"));

        const std::optional<QByteArray> drawn = RunHelper({QStringLiteral("save"), path}, saver);
        QVERIFY(drawn);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString text = QString::fromLatin1(file.readAll());
        const auto fraction = [](const QString& separator) {
            return QRegularExpression(
                QStringLiteral("\\d%1\\d").arg(QRegularExpression::escape(separator)));
        };
        QVERIFY2(text.contains(fraction(written)), qPrintable(text));
        QVERIFY2(!text.contains(fraction(other)), qPrintable(text));

        // What the file means where it was written, and where it is read.
        const std::optional<QByteArray> home = RunHelper({QStringLiteral("load"), path}, saver);
        const std::optional<QByteArray> abroad = RunHelper({QStringLiteral("load"), path}, reader);
        QVERIFY(home && abroad);
        QCOMPARE(*abroad, *home);

        const QList<QByteArray> drawnLines = drawn->trimmed().split('\n');
        const QList<QByteArray> readLines = home->trimmed().split('\n');
        QCOMPARE(readLines.size(), 3);
        QCOMPARE(drawnLines.size(), 3);
        bool fractional = false;
        for (qsizetype i = 0; i < 3; ++i) {
            const QList<QByteArray> d = drawnLines[i].split(' ');
            const QList<QByteArray> r = readLines[i].split(' ');
            QCOMPARE(r.size(), 3);
            QCOMPARE(r[0], QByteArray("corner"));
            for (qsizetype k = 1; k <= 2; ++k) {
                QVERIFY(qAbs(FromBits(r[k]) - FromBits(d[k])) < 1e-9);
                fractional = fractional || FromBits(r[k]) != std::floor(FromBits(r[k]));
            }
        }
        QVERIFY(fractional);
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc >= 2 && QByteArray(argv[1]) == "--helper") {
        return Helper(QApplication::arguments().mid(2));
    }
    LocaleTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "locale_test.moc"
