#include "recording_platform.h"

#include "platform/qt/colour_box.h"
#include "platform/qt/corner_box.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QLabel>

using namespace quillet;

namespace {

// What a screen reader finds for each control of the window: its role and the name it speaks,
// written out. An empty name is the control's caption; "%1" stands for the custom colour's
// value, which the form picks at random.
struct Spoken {
    const char* control;
    QAccessible::Role role;
    const char* name;
};
const Spoken SPOKEN[] = {
    {"Label1", QAccessible::StaticText, ""},
    {"txtNumCorners", QAccessible::EditableText,
     "De volgende veelhoek die ik ga tekenen heeft zoveel hoeken : (minimum 3, maximum 50)"},
    {"picMain", QAccessible::Canvas, "Tekenvlak"},
    {"Label2", QAccessible::StaticText, ""},
    {"cmdOnlyLines", QAccessible::Button, "Teken alleen de lijnen"},
    {"cmdOnlyPoints", QAccessible::Button, "Teken alleen de punten"},
    {"cmdAll", QAccessible::Button, "Teken alles"},
    {"picColor", QAccessible::Graphic, "Huidige kleur: wit, RGB 255, 255, 255"},
    {"picSelColor0", QAccessible::Button, "Zwart, RGB 0, 0, 0"},
    {"picSelColor1", QAccessible::Button, "Donkerblauw, RGB 0, 0, 128"},
    {"picSelColor2", QAccessible::Button, "Donkergroen, RGB 0, 128, 0"},
    {"picSelColor3", QAccessible::Button, "Blauwgroen, RGB 0, 128, 128"},
    {"picSelColor4", QAccessible::Button, "Donkerrood, RGB 128, 0, 0"},
    {"picSelColor5", QAccessible::Button, "Paars, RGB 128, 0, 128"},
    {"picSelColor6", QAccessible::Button, "Olijfgroen, RGB 128, 128, 0"},
    {"picSelColor7", QAccessible::Button, "Lichtgrijs, RGB 192, 192, 192"},
    {"picSelColor8", QAccessible::Button, "Grijs, RGB 128, 128, 128"},
    {"picSelColor9", QAccessible::Button, "Blauw, RGB 0, 0, 255"},
    {"picSelColor10", QAccessible::Button, "Groen, RGB 0, 255, 0"},
    {"picSelColor11", QAccessible::Button, "Cyaan, RGB 0, 255, 255"},
    {"picSelColor12", QAccessible::Button, "Rood, RGB 255, 0, 0"},
    {"picSelColor13", QAccessible::Button, "Magenta, RGB 255, 0, 255"},
    {"picSelColor14", QAccessible::Button, "Geel, RGB 255, 255, 0"},
    {"picSelColor15", QAccessible::Button, "Wit, RGB 255, 255, 255"},
    {"picSelColor16", QAccessible::Button, "Eigen kleur, RGB %1"},
    {"chkFill", QAccessible::CheckBox, "Fill Mode"},
    {"Label3", QAccessible::StaticText, ""},
};

QString RgbText(Colour c) {
    return QStringLiteral("%1, %2, %3").arg(c & 0xFFu).arg((c >> 8) & 0xFFu).arg(c >> 16);
}

QAccessibleInterface* Accessible(const LoadedWindow& w, const QString& name) {
    return QAccessible::queryAccessibleInterface(w.view.findChild<QWidget*>(name));
}

// Gives a control the focus as the Tab key would.
void Focus(QWidget* widget) {
    widget->setFocus(Qt::TabFocusReason);
    QCOMPARE(QApplication::focusWidget(), widget);
}

} // namespace

class AccessibilityTest : public QObject {
    Q_OBJECT

  private slots:
    void everyControlHasANameAndARole() {
        LoadedWindow w;
        QStringList listed;
        for (const Spoken& spoken : SPOKEN) {
            const QString control = QString::fromLatin1(spoken.control);
            listed << control;
            QAccessibleInterface* iface = Accessible(w, control);
            QVERIFY2(iface != nullptr, spoken.control);
            QCOMPARE(iface->role(), spoken.role);
            QString name = QString::fromUtf8(spoken.name);
            if (name.isEmpty()) {
                name = w.control<QLabel>(spoken.control)->text();
            }
            if (name.contains(QLatin1String("%1"))) {
                name = name.arg(RgbText(w.form.ctl.picSelColor[CUSTOM_SWATCH]));
            }
            QCOMPARE(iface->text(QAccessible::Name), name);
        }
        // No control of the window is left out of the table.
        for (const QWidget* child :
             w.view.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(listed.contains(child->objectName()), qPrintable(child->objectName()));
        }
        QVERIFY(!Accessible(w, "picMain")->text(QAccessible::Description).isEmpty());
    }

    void aColourIsPressedByItsActionSpaceAndReturn_data() {
        QTest::addColumn<int>("key"); // 0: the accessible Press action
        QTest::newRow("Press action") << 0;
        QTest::newRow("Space") << int(Qt::Key_Space);
        QTest::newRow("Return") << int(Qt::Key_Return);
        QTest::newRow("Enter") << int(Qt::Key_Enter);
    }

    void aColourIsPressedByItsActionSpaceAndReturn() {
        QFETCH(int, key);
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        w.platform.colourAnswer = RGB(12, 34, 56);
        auto press = [&](const QString& name) {
            auto* box = w.control<ColourBox>(qPrintable(name));
            if (key == 0) {
                QAccessibleActionInterface* actions = Accessible(w, name)->actionInterface();
                QVERIFY(actions != nullptr);
                QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
                actions->doAction(QAccessibleActionInterface::pressAction());
            } else {
                Focus(box);
                QTest::keyClick(box, static_cast<Qt::Key>(key));
            }
        };
        // Each colour differs from the one before it, so each press shows.
        for (int i = 0; i < PALETTE_SIZE; ++i) {
            const QString name = QStringLiteral("picSelColor%1").arg(i);
            press(name);
            const Colour expected = i == CUSTOM_SWATCH
                                        ? RGB(12, 34, 56)
                                        : w.form.ctl.picSelColor[static_cast<std::size_t>(i)];
            QCOMPARE(w.form.ctl.picColor, expected);
            QCOMPARE(w.control<ColourBox>("picColor")->colour(), expected);
            // The current colour is spoken by the name of the swatch it came from.
            const QString swatchName = Accessible(w, name)->text(QAccessible::Name);
            QCOMPARE(Accessible(w, "picColor")->text(QAccessible::Name),
                     QStringLiteral("Huidige kleur: ") + swatchName.at(0).toLower() +
                         swatchName.mid(1));
        }
        QCOMPARE(w.platform.colourDialogs, 1);
        QCOMPARE(Accessible(w, "picSelColor16")->text(QAccessible::Name),
                 QStringLiteral("Eigen kleur, RGB 12, 34, 56"));
        QVERIFY(w.platform.messages.empty());
    }

    void theFocusShowsOnTheCanvasAndTheColoursWithoutCoveringThem_data() {
        QTest::addColumn<QString>("control");
        for (const char* control :
             {"picMain", "picColor", "picSelColor0", "picSelColor15", "picSelColor16"}) {
            QTest::newRow(control) << QString::fromLatin1(control);
        }
    }

    void theFocusShowsOnTheCanvasAndTheColoursWithoutCoveringThem() {
        QFETCH(QString, control);
        LoadedWindow w;
        QVERIFY(QTest::qWaitForWindowActive(&w.view));
        auto* frame = w.view.findChild<QFrame*>(control);
        const QImage unfocused = frame->grab().toImage();
        Focus(frame);
        const QImage focused = frame->grab().toImage();
        Focus(w.view.cornerBox());
        QCOMPARE(frame->grab().toImage(), unfocused);

        const QRect inside = frame->contentsRect();
        bool frameChanged = false;
        for (int y = 0; y < focused.height(); ++y) {
            for (int x = 0; x < focused.width(); ++x) {
                const QPoint p(x, y);
                if (inside.contains(p)) {
                    QCOMPARE(focused.pixel(p), unfocused.pixel(p));
                } else {
                    frameChanged = frameChanged || focused.pixel(p) != unfocused.pixel(p);
                }
            }
        }
        QVERIFY(frameChanged);
    }
};

QTEST_MAIN(AccessibilityTest)
#include "accessibility_test.moc"
