#include "recording_platform.h"

#include "app/controls.h"
#include "platform/qt/colour_box.h"
#include "platform/qt/corner_box.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>

using namespace quillet;

namespace {

// What the window shows, written out rather than taken from the layout table the window is
// built from, so a wrong entry there is caught: geometry in pixels of the client area and the
// caption of each control, then the menus in order (a separator has no caption).
struct ShownControl {
    const char* name;
    QRect pixels;
    const char* caption;
};
const ShownControl CONTROLS[] = {
    {"Label1",
     {8, 8, 305, 33},
     "De volgende veelhoek die ik ga tekenen heeft zoveel hoeken : (minimum 3, maximum 50)"},
    {"txtNumCorners", {312, 8, 41, 19}, "3"},
    {"picMain", {8, 56, 585, 497}, ""},
    {"Label2", {232, 32, 137, 25}, "X: 0     Y: 0"},
    {"cmdOnlyLines", {360, 3, 123, 25}, "Teken alleen de &lijnen"},
    {"cmdOnlyPoints", {360, 30, 123, 25}, "Teken alleen de &punten"},
    {"cmdAll", {488, 3, 107, 52}, "&Teken alles"},
    {"picColor", {600, 8, 57, 41}, ""},
    {"chkFill", {600, 272, 65, 17}, "Fill Mode"},
    {"Label3",
     {600, 296, 65, 257},
     "Opgepast: Als u bij het inkleuren op een vlak klikt, wordt heel het vlak ingekleurd voor "
     "zover de kleur gelijk blijft.           Het inkleuren verdwijnt weer als u Undo gebruikt "
     "of de lijnen en/of punten opnieuw tekent."},
    {"picSelColor0", {608, 56, 17, 17}, ""},
    {"picSelColor1", {632, 56, 17, 17}, ""},
    {"picSelColor2", {608, 80, 17, 17}, ""},
    {"picSelColor3", {632, 80, 17, 17}, ""},
    {"picSelColor4", {608, 104, 17, 17}, ""},
    {"picSelColor5", {632, 104, 17, 17}, ""},
    {"picSelColor6", {608, 128, 17, 17}, ""},
    {"picSelColor7", {632, 128, 17, 17}, ""},
    {"picSelColor8", {608, 152, 17, 17}, ""},
    {"picSelColor9", {632, 152, 17, 17}, ""},
    {"picSelColor10", {608, 176, 17, 17}, ""},
    {"picSelColor11", {632, 176, 17, 17}, ""},
    {"picSelColor12", {608, 200, 17, 17}, ""},
    {"picSelColor13", {632, 200, 17, 17}, ""},
    {"picSelColor14", {608, 224, 17, 17}, ""},
    {"picSelColor15", {632, 224, 17, 17}, ""},
    {"picSelColor16", {608, 248, 41, 17}, ""},
};
const QStringList MENUS = {
    "&File: mnuNew &New Project Ctrl+N",
    "&File: mnuStreep1",
    "&File: mnuUndo &Undo Ctrl+Z",
    "&File: mnuSaveAs &Save as... Ctrl+S",
    "&File: mnuOpen &Load Project Ctrl+O",
    "&File: mnuStreep2",
    "&File: mnuQuit &Quit",
    "&Help: mnuManual &How to use Quillet",
    "&Help: mnuStreep3",
    "&Help: mnuAbout &About",
};

QString Text(const QWidget* control) {
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        return label->text();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        return button->text();
    }
    if (const auto* box = qobject_cast<const QLineEdit*>(control)) {
        return box->text();
    }
    return {};
}

} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private slots:
    void windowIsLaidOutAsTheControlTable() {
        LoadedWindow w;
        QCOMPARE(w.view.windowTitle(), QStringLiteral("Quillet"));
        QVERIFY(!(w.view.windowFlags() & Qt::WindowMaximizeButtonHint));
        QCOMPARE(w.view.minimumSize(), w.view.maximumSize());
        QCOMPARE(w.view.centralWidget()->geometry(),
                 QRect(0, w.view.menuBar()->geometry().bottom() + 1, 667, 561));
        const QList<QSize> iconSizes = w.view.windowIcon().availableSizes();
        QVERIFY(iconSizes.contains(QSize(16, 16)) && iconSizes.contains(QSize(32, 32)));

        for (const ShownControl& shown : CONTROLS) {
            const auto* control = w.control<QWidget>(shown.name);
            QVERIFY2(control != nullptr, shown.name);
            QCOMPARE(control->geometry(), shown.pixels);
            QCOMPARE(Text(control), QString::fromUtf8(shown.caption));
            // The captions are readable: none is cut off by its fixed box.
            if (const auto* label = qobject_cast<const QLabel*>(control)) {
                QVERIFY(label->heightForWidth(label->width()) <= label->height());
            } else if (qobject_cast<const QAbstractButton*>(control) != nullptr) {
                QVERIFY(control->sizeHint().width() <= control->width());
            }
        }
        QCOMPARE(w.view.canvas()->innerSize(), QSize(581, 493));
        QCOMPARE(w.form.picMain.ScaleWidth(), 581);
        QCOMPARE(w.form.picMain.ScaleHeight(), 493);
    }

    void menusCarryCaptionsAndShortcuts() {
        LoadedWindow w;
        QStringList shown;
        for (const QAction* menu : w.view.menuBar()->actions()) {
            for (const QAction* item : menu->menu()->actions()) {
                const QString shortcut = item->shortcut().toString(QKeySequence::PortableText);
                shown << QStringList{menu->text() + ':', item->objectName(),
                                     item->isSeparator() ? QString() : item->text(), shortcut}
                             .join(' ')
                             .trimmed();
            }
        }
        QCOMPARE(shown, MENUS);
    }

    void startsWithFocusInTheCornerBoxAndTheTabOrderOfTheTable() {
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        QCOMPARE(QApplication::focusWidget(), w.view.cornerBox());

        QStringList order;
        QWidget* widget = w.view.cornerBox();
        do {
            if ((widget->focusPolicy() & Qt::TabFocus) &&
                w.view.centralWidget()->isAncestorOf(widget)) {
                order << widget->objectName();
            }
            widget = widget->nextInFocusChain();
        } while (widget != w.view.cornerBox());
        QStringList expected{"txtNumCorners", "picMain", "cmdOnlyLines",
                             "cmdOnlyPoints", "cmdAll",  "picColor"};
        for (int i = 0; i < PALETTE_SIZE; ++i) {
            expected << QStringLiteral("picSelColor%1").arg(i);
        }
        expected << "chkFill";
        QCOMPARE(order, expected);
    }

    void controlsShowTheFormAfterLoad() {
        LoadedWindow w;
        for (const char* name : {"cmdAll", "cmdOnlyLines", "cmdOnlyPoints", "chkFill"}) {
            QVERIFY2(!w.control<QWidget>(name)->isEnabled(), name);
        }
        QVERIFY(!w.control<QCheckBox>("chkFill")->isChecked());
        QVERIFY(!w.control<QAction>("mnuUndo")->isEnabled());
        QVERIFY(!w.control<QAction>("mnuSaveAs")->isEnabled());
        QVERIFY(w.control<QAction>("mnuOpen")->isEnabled());
        QVERIFY(w.control<QAction>("mnuNew")->isEnabled());
        QCOMPARE(w.control<ColourBox>("picSelColor4")->colour(), RGB(128, 0, 0));
        QCOMPARE(w.control<ColourBox>("picSelColor16")->colour(), w.form.ctl.picSelColor[16]);
        QCOMPARE(w.control<ColourBox>("picColor")->colour(), RGB(255, 255, 255));
    }

    void theCustomSwatchTakesItsColourFromTheDialog() {
        LoadedWindow w;
        auto* current = w.control<ColourBox>("picColor");
        w.platform.colourAnswer = RGB(0, 0, 255);
        QTest::mouseClick(w.control<QWidget>("picSelColor16"), Qt::LeftButton);
        QCOMPARE(w.platform.colourDialogs, 1);
        QCOMPARE(current->colour(), RGB(0, 0, 255));
        QCOMPARE(w.control<ColourBox>("picSelColor16")->colour(), RGB(0, 0, 255));
    }

    void menuShortcutsWorkWhileTheCornerBoxHasTheFocus() {
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        CornerBox* box = w.view.cornerBox();
        QTest::keyClick(box, Qt::Key_O, Qt::ControlModifier);
        QCOMPARE(w.platform.openDialogs, 1);

        // Ctrl+Z is the line edit's own undo as well: the menu's must win.
        for (const QPoint p : {QPoint(100, 300), QPoint(200, 300), QPoint(150, 200)}) {
            ClickAt(w.view.canvas(), p);
        }
        QCOMPARE(w.form.intPointCount, 3);
        QTest::mouseClick(box, Qt::LeftButton);
        QTest::keyClick(box, Qt::Key_5);
        QTest::keyClick(box, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(w.form.intPointCount, 0);
        QCOMPARE(box->text(), QStringLiteral("35"));
    }

    void closeBoxAsksAndCancelKeepsTheWindow() {
        LoadedWindow w;
        w.form.blnModified = true;
        w.platform.answers = {MsgResult::Cancel};
        QVERIFY(!w.view.close());
        QVERIFY(w.view.isVisible());
        QVERIFY(!w.form.Unloaded);
        QCOMPARE(w.platform.messages.size(), std::size_t{1});
        QCOMPARE(w.platform.messages[0].text, std::string(MSG_SAVE_CHANGES));
        QCOMPARE(w.platform.messages[0].buttons, MsgButtons::YesNoCancel);

        w.platform.answers = {MsgResult::No};
        QVERIFY(w.view.close());
        QVERIFY(!w.view.isVisible());
        QVERIFY(w.form.Unloaded);
    }

    void quitClosesTheWindowWithoutAskingWhenUnchanged() {
        LoadedWindow w;
        w.control<QAction>("mnuQuit")->trigger();
        QVERIFY(!w.view.isVisible());
        QVERIFY(w.platform.messages.empty());
    }

    void mouseClicksOnTheCanvasBuildAndFillASquare() {
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        CornerBox* box = w.view.cornerBox();
        QTest::keyClick(box, Qt::Key_Backspace);
        QTest::keyClick(box, Qt::Key_4);

        // The canvas's inner area starts 2 pixels in, past the sunken border.
        CanvasWidget* canvas = w.view.canvas();
        const QPoint border(2, 2);
        for (const QPoint p : {QPoint(100, 300), QPoint(200, 300), QPoint(150, 200)}) {
            ClickAt(canvas, p + border);
        }
        QVERIFY(w.platform.messages.empty());
        QCOMPARE(w.form.intNumCorners, 4);
        QCOMPARE(w.form.intPointCount, 4);
        QCOMPARE(w.form.intLineCount, 4);
        QCOMPARE(w.control<QLabel>("Label2")->text(), QStringLiteral("X: 150     Y: 200"));

        const Surface& image = w.form.picMain;
        for (const QPoint side :
             {QPoint(150, 300), QPoint(200, 250), QPoint(150, 200), QPoint(100, 250)}) {
            QCOMPARE(image.GetPixel(side.x(), side.y()), Colour{0});
        }
        QCOMPARE(image.GetPixel(100, 300), Colour(COLOR_POINT));
        QCOMPARE(image.GetPixel(150, 250), RGB(255, 255, 255));
        QCOMPARE(image.GetPixel(150, 150), RGB(255, 255, 255));
        // What the screen shows is the surface.
        const QImage screen = canvas->grab().toImage();
        QCOMPARE(screen.pixelColor(border + QPoint(150, 200)), QColor(0, 0, 0));
        QCOMPARE(screen.pixelColor(border + QPoint(100, 300)), QColor(0, 255, 0));

        QTest::mouseClick(w.control<QWidget>("picSelColor4"), Qt::LeftButton);
        QTest::mouseClick(w.control<QCheckBox>("chkFill"), Qt::LeftButton);
        QCOMPARE(w.form.ctl.chkFill, 1);
        ClickAt(canvas, border + QPoint(150, 250));
        QCOMPARE(image.GetPixel(150, 250), RGB(128, 0, 0));
        QCOMPARE(image.GetPixel(150, 150), RGB(255, 255, 255));
        QCOMPARE(w.form.intFillCount, 1);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
