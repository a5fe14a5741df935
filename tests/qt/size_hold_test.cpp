// Windows of fixed size where the window system may maximize them anyway (Wayland): they take
// any larger size they are given, and their controls stay where they were.

#include "platform/qt/fixed_layout.h"
#include "platform/qt/help_dialog.h"
#include "platform/qt/main_window_view.h"

#include <QApplication>
#include <QMap>
#include <QTest>

#include <functional>
#include <memory>

using namespace quillet;

using MakeWindow = std::function<std::unique_ptr<QWidget>(SizeHold)>;
Q_DECLARE_METATYPE(quillet::SizeHold)
Q_DECLARE_METATYPE(MakeWindow)

namespace {

// Every control by its name, in the window's coordinates.
QMap<QString, QRect> Controls(const QWidget& window) {
    QMap<QString, QRect> places;
    for (const QWidget* control : window.findChildren<QWidget*>()) {
        if (!control->objectName().isEmpty() && !control->isWindow()) {
            places.insert(control->objectName(),
                          QRect(control->mapTo(&window, QPoint(0, 0)), control->size()));
        }
    }
    return places;
}

} // namespace

class SizeHoldTest : public QObject {
    Q_OBJECT

  private slots:
    void holdFollowsThePlatform_data() {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<SizeHold>("hold");
        QTest::newRow("wayland") << "wayland" << SizeHold::AtLeast;
        QTest::newRow("wayland-egl") << "wayland-egl" << SizeHold::AtLeast;
        QTest::newRow("wayland-generic") << "wayland-generic" << SizeHold::AtLeast;
        QTest::newRow("xcb") << "xcb" << SizeHold::Fixed;
        QTest::newRow("offscreen") << "offscreen" << SizeHold::Fixed;
        QTest::newRow("unknown") << "" << SizeHold::Fixed;
    }
    void holdFollowsThePlatform() {
        QFETCH(QString, platform);
        QTEST(SizeHoldFor(platform), "hold");
    }

    void largerSizeKeepsTheControlsInPlace_data() {
        QTest::addColumn<MakeWindow>("make");
        QTest::addColumn<SizeHold>("hold");
        const MakeWindow main = [](SizeHold hold) {
            return std::make_unique<MainWindowView>(nullptr, hold);
        };
        const MakeWindow help = [](SizeHold hold) {
            return std::make_unique<frmHelp>(nullptr, hold);
        };
        QTest::newRow("main window, fixed") << main << SizeHold::Fixed;
        QTest::newRow("main window, at least") << main << SizeHold::AtLeast;
        QTest::newRow("help window, fixed") << help << SizeHold::Fixed;
        QTest::newRow("help window, at least") << help << SizeHold::AtLeast;
    }
    void largerSizeKeepsTheControlsInPlace() {
        QFETCH(MakeWindow, make);
        QFETCH(SizeHold, hold);
        const std::unique_ptr<QWidget> window = make(hold);
        window->show();
        QVERIFY(QTest::qWaitForWindowExposed(window.get()));
        const QSize normal = window->size();
        const QMap<QString, QRect> places = Controls(*window);
        QVERIFY(!places.isEmpty());

        // What a maximize asks of the window.
        const QSize maximized = normal + QSize(400, 300);
        window->resize(maximized);
        QApplication::processEvents();
        QCOMPARE(window->size(), hold == SizeHold::AtLeast ? maximized : normal);
        QCOMPARE(Controls(*window), places);
        // Never smaller than the layout was made for.
        window->resize(normal - QSize(50, 50));
        QApplication::processEvents();
        QCOMPARE(window->size(), normal);
    }
};

QTEST_MAIN(SizeHoldTest)
#include "size_hold_test.moc"
