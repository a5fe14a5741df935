#include "recording_platform.h"

#include "platform/qt/colour_box.h"
#include "platform/qt/corner_box.h"

#include <QClipboard>
#include <QMenu>
#include <QMenuBar>

using namespace quillet;

namespace {

// Replaces the box's text as a user does: select everything with the keyboard, then type.
void TypeInto(CornerBox* box, const QString& keys) {
    QTest::keyClick(box, Qt::Key_End);
    QTest::keyClick(box, Qt::Key_Home, Qt::ShiftModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    QTest::keyClicks(box, keys);
}

} // namespace

class CornerBoxTest : public QObject {
    Q_OBJECT

  private slots:
    void onlyDigitsAndBackspaceAreTyped() {
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        CornerBox* box = w.view.cornerBox();
        QApplication::clipboard()->setText(QStringLiteral("12"));
        QTest::keyClicks(box, QStringLiteral("a-,. "));
        QTest::keyClick(box, Qt::Key_Return);
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
        QTest::keyClick(box, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(box->text(), QStringLiteral("3"));

        QTest::keyClick(box, Qt::Key_7);
        QCOMPARE(box->text(), QStringLiteral("37"));
        QTest::keyClick(box, Qt::Key_Backspace);
        QCOMPARE(box->text(), QStringLiteral("3"));
        // Keys without a character edit as usual.
        QTest::keyClick(box, Qt::Key_Home);
        QTest::keyClick(box, Qt::Key_Delete);
        QCOMPARE(box->text(), QString());
        QCOMPARE(w.form.ctl.txtNumCorners, std::string());
    }

    void pasteBypassesTheFilterAndTheCheckRoundsIt() {
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        CornerBox* box = w.view.cornerBox();
        QApplication::clipboard()->setText(
            w.platform.DecimalSeparator() == ',' ? QStringLiteral("3,5") : QStringLiteral("3.5"));
        box->selectAll();
        box->paste(); // what the context menu's Paste does
        QCOMPARE(w.form.ctl.txtNumCorners, box->text().toStdString());
        QTest::keyClick(box, Qt::Key_Tab);
        QVERIFY(w.platform.messages.empty());
        QCOMPARE(w.form.intNumCorners, 4);
        QCOMPARE(QApplication::focusWidget(), w.view.canvas());
    }

    void leavingWithAnInvalidCountWarnsAndKeepsTheFocus_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("key");
        QTest::newRow("2, Tab") << "2" << int(Qt::Key_Tab);
        QTest::newRow("51, Backtab") << "51" << int(Qt::Key_Backtab);
        QTest::newRow("empty") << "" << int(Qt::Key_Tab);
        QTest::newRow("beyond 16 bits") << "99999" << int(Qt::Key_Tab);
    }

    void leavingWithAnInvalidCountWarnsAndKeepsTheFocus() {
        QFETCH(QString, text);
        QFETCH(int, key);
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        CornerBox* box = w.view.cornerBox();
        TypeInto(box, text);
        QTest::keyClick(box, static_cast<Qt::Key>(key));
        QCOMPARE(w.platform.messages.size(), std::size_t{1});
        const RecordedMessage& message = w.platform.messages[0];
        QCOMPARE(message.text, std::string(MSG_INVALID_CORNERS));
        QCOMPARE(message.title, std::string(TITLE_INVALID));
        QCOMPARE(message.icon, MsgIcon::Exclamation);
        QCOMPARE(message.buttons, MsgButtons::OK);
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(box->text(), text);
        QCOMPARE(w.form.intNumCorners, 3);
    }

    void aClickThatLeavesWithAValidCountActsOnTheCanvas() {
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        TypeInto(w.view.cornerBox(), QStringLiteral("007"));
        ClickAt(w.view.canvas(), QPoint(50, 50));
        QVERIFY(w.platform.messages.empty());
        QCOMPARE(w.form.intNumCorners, 7);
        QCOMPARE(QApplication::focusWidget(), w.view.canvas());
        QCOMPARE(w.form.intClickPhase, 1);
    }

    void aClickRefusedByTheCheckDoesNotReachTheControl() {
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        CornerBox* box = w.view.cornerBox();
        TypeInto(box, QStringLiteral("2"));
        ClickAt(w.view.canvas(), QPoint(50, 50));
        QCOMPARE(w.platform.messages.size(), std::size_t{1});
        QCOMPARE(QApplication::focusWidget(), box);
        QCOMPARE(w.form.intClickPhase, 0);
        QVERIFY(!w.form.blnMouseDown);

        QTest::mouseClick(w.control<QWidget>("picSelColor4"), Qt::LeftButton);
        QCOMPARE(w.platform.messages.size(), std::size_t{2});
        QCOMPARE(w.form.ctl.picColor, RGB(255, 255, 255));
        QCOMPARE(QApplication::focusWidget(), box);

        // Once the text is valid the next click goes through.
        TypeInto(box, QStringLiteral("5"));
        QTest::mouseClick(w.control<QWidget>("picSelColor4"), Qt::LeftButton);
        QCOMPARE(w.platform.messages.size(), std::size_t{2});
        QCOMPARE(w.form.ctl.picColor, RGB(128, 0, 0));
    }

    void menusAndOtherWindowsDoNotRunTheCheck() {
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        CornerBox* box = w.view.cornerBox();
        TypeInto(box, QStringLiteral("2"));

        // Alt alone puts the menu bar, a widget of the same window, in keyboard mode.
        QTest::keyClick(box, Qt::Key_Alt);
        QCOMPARE(QApplication::focusWidget(), w.view.menuBar());
        QTest::keyClick(w.view.menuBar(), Qt::Key_Escape);

        QMenu* file = w.view.menuBar()->findChild<QMenu*>(QStringLiteral("mnuFile"));
        file->popup(w.view.mapToGlobal(QPoint(0, 0)));
        QVERIFY(QTest::qWaitForWindowExposed(file));
        file->close();

        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        w.view.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w.view));

        QVERIFY(w.platform.messages.empty());
        QCOMPARE(QApplication::focusWidget(), box);
    }
};

QTEST_MAIN(CornerBoxTest)
#include "corner_box_test.moc"
