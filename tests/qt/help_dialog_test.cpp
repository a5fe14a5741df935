#include "app/controls.h"
#include "platform/qt/help_dialog.h"
#include "platform/qt/main_window_view.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace quillet;

class HelpDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void laidOutAsItsTableWithTheFocusOnOk() {
        frmHelp help;
        help.show();
        QVERIFY(QTest::qWaitForWindowActive(&help));
        QCOMPARE(help.windowTitle(), QStringLiteral("Manual"));
        QCOMPARE(help.size(), QSize(289, 243));
        QCOMPARE(help.minimumSize(), help.maximumSize());
        QVERIFY(
            !(help.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
        QVERIFY(!help.windowIcon().isNull());
        for (const ControlLayout& layout : HELP_CONTROLS) {
            const auto* control = help.findChild<QWidget*>(QString::fromUtf8(layout.Name.data()));
            QVERIFY(control != nullptr);
            QCOMPARE(control->geometry(), QRect(layout.Left / 15, layout.Top / 15,
                                                layout.Width / 15, layout.Height / 15));
            if (const auto* label = qobject_cast<const QLabel*>(control)) {
                QVERIFY(label->wordWrap());
            }
        }
        auto* ok = help.findChild<QPushButton*>(QStringLiteral("cmdOK"));
        QCOMPARE(ok->text(), QStringLiteral("&Ok"));
        QVERIFY(ok->isDefault());
        QCOMPARE(QApplication::focusWidget(), ok);
        QTest::keyClick(ok, Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), ok); // nothing else takes the focus
    }

    void showHelpWaitsUntilOkClosesTheWindow() {
        MainWindowView view;
        QtPlatform platform(view);
        int shown = 0;
        for (int i = 0; i < 2; ++i) {
            QTimer::singleShot(0, [&shown] {
                auto* help = qobject_cast<frmHelp*>(QApplication::activeModalWidget());
                QVERIFY(help != nullptr);
                ++shown;
                QTest::keyClick(help, Qt::Key_Return);
            });
            platform.ShowHelp(); // returns only once the window is closed
        }
        QCOMPARE(shown, 2);
        QVERIFY(QApplication::activeModalWidget() == nullptr);
    }
};

QTEST_MAIN(HelpDialogTest)
#include "help_dialog_test.moc"
