// Qt's own texts follow the user's language through the translator the program installs;
// the program's own texts stay as they are.

#include "app/main_window.h"
#include "platform/qt/command_line.h"
#include "platform/qt/main_window_view.h"
#include "platform/qt/qt_platform.h"

#include <QApplication>
#include <QFile>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

using namespace quillet;

class QtTranslationsTest : public QObject {
    Q_OBJECT

    MainWindowView view;
    QtPlatform platform{view};

  private slots:
    void standardButtonsFollowTheLocale_data() {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QStringList>("buttons"); // Yes, No, Cancel
        QTest::newRow("nl_NL") << QStringLiteral("nl_NL") << QStringList{"Ja", "Nee", "Annuleren"};
        QTest::newRow("en_US") << QStringLiteral("en_US") << QStringList{"Yes", "No", "Cancel"};
    }
    void standardButtonsFollowTheLocale() {
        QFETCH(QString, locale);
        const QString language = locale.section(QLatin1Char('_'), 0, 0);
        const QString file = QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                             QStringLiteral("/qtbase_%1.qm").arg(language);
        if (language != QStringLiteral("en") && !QFile::exists(file)) {
            QSKIP(qPrintable(file + QStringLiteral(" is not installed (qt6-translations-l10n)")));
        }
        const std::unique_ptr<QTranslator> translator = QtTranslations(QLocale(locale));
        QVERIFY(language == QStringLiteral("en") || translator != nullptr);
        if (translator) {
            QVERIFY(QCoreApplication::installTranslator(translator.get()));
        }

        QStringList shown;
        QString text;
        QString title;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box != nullptr);
            for (const QMessageBox::StandardButton b :
                 {QMessageBox::Yes, QMessageBox::No, QMessageBox::Cancel}) {
                shown << box->button(b)->text().remove(QLatin1Char('&'));
            }
            text = box->text();
            title = box->windowTitle();
            box->button(QMessageBox::Cancel)->click();
        });
        const MsgResult answer = platform.MsgBox(MSG_SAVE_CHANGES, TITLE_QUILLET,
                                                 MsgIcon::Exclamation, MsgButtons::YesNoCancel);
        QCOMPARE(answer, MsgResult::Cancel);
        QTEST(shown, "buttons");
        QCOMPARE(text, QStringLiteral("Het huidige bestand is gewijzigd.\nWilt u de wijzigingen "
                                      "opslaan?"));
        QCOMPARE(title, QStringLiteral("Quillet"));
    }
};

QTEST_MAIN(QtTranslationsTest)
#include "qt_translations_test.moc"
