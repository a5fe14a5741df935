#include "platform/qt/main_window_view.h"
#include "platform/qt/qt_platform.h"
#include "platform/surface.h"

#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <functional>

using namespace quillet;

namespace {

// Runs `act` on the modal dialog as soon as it is up.
template <class Dialog> void WhenShown(std::function<void(Dialog*)> act) {
    QTimer::singleShot(0, [act] {
        auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        act(dialog);
    });
}

QProgressDialog* ProgressDialog() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (auto* dialog = qobject_cast<QProgressDialog*>(window)) {
            return dialog;
        }
    }
    return nullptr;
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class QtPlatformTest : public QObject {
    Q_OBJECT

    MainWindowView view;
    QtPlatform platform{view};

  private slots:
    void filterTextBecomesNameFilters() {
        QCOMPARE(NameFilters("Windows Bitmap (*.bmp)|*.bmp|Quillet File (*.qlf)|*.qlf"),
                 (QStringList{"Windows Bitmap (*.bmp)", "Quillet File (*.qlf)"}));
        QCOMPARE(NameFilters("Pictures|*.bmp;*.dib|Odd"), (QStringList{"Pictures (*.bmp *.dib)"}));
    }

    void messageBoxesShowTextIconAndButtons() {
        QString shownText;
        WhenShown<QMessageBox>([&](QMessageBox* box) {
            shownText = box->text();
            QCOMPARE(box->windowTitle(), QStringLiteral("Quillet"));
            QCOMPARE(box->icon(), QMessageBox::Warning);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(
            platform.MsgBox("one\r\ntwo", "Quillet", MsgIcon::Exclamation, MsgButtons::YesNoCancel),
            MsgResult::Cancel);
        QCOMPARE(shownText, QStringLiteral("one\ntwo"));

        WhenShown<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::No)->click(); });
        QCOMPARE(platform.MsgBox("?", "Quillet", MsgIcon::Exclamation, MsgButtons::YesNoCancel),
                 MsgResult::No);

        WhenShown<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->icon(), QMessageBox::Critical);
            QCOMPARE(box->buttons().size(), 1);
            QCOMPARE(box->textFormat(), Qt::PlainText);
            QTest::keyClick(box, Qt::Key_Return);
        });
        QCOMPARE(platform.MsgBox("'<b>x</b>' bestaat niet.", "Failed to open Quillet File",
                                 MsgIcon::Stop, MsgButtons::OK),
                 MsgResult::OK);
    }

    // The recovery question: Escape is No, which removes the file, so Yes stays the default.
    void yesNoBoxesHaveTwoButtonsAndEscapeIsNo() {
        WhenShown<QMessageBox>([](QMessageBox* box) {
            QCOMPARE(box->buttons().size(), 2);
            QCOMPARE(box->defaultButton(), box->button(QMessageBox::Yes));
            QTest::keyClick(box, Qt::Key_Escape);
        });
        QCOMPARE(platform.MsgBox("?", "Quillet", MsgIcon::Exclamation, MsgButtons::YesNo),
                 MsgResult::No);
        WhenShown<QMessageBox>([](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Return); });
        QCOMPARE(platform.MsgBox("?", "Quillet", MsgIcon::Exclamation, MsgButtons::YesNo),
                 MsgResult::Yes);
    }

    void fileDialogsTakeAndGiveTheRequest() {
        QTemporaryDir dir;
        const std::string proposed = QDir(dir.path()).filePath("drawing").toStdString();
        FileDialogRequest request{"Save Quillet File as...", proposed,
                                  "Windows Bitmap (*.bmp)|*.bmp|Quillet File (*.qlf)|*.qlf",
                                  OFN_OVERWRITEPROMPT, 2};
        WhenShown<QFileDialog>([](QFileDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Save Quillet File as..."));
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptSave);
            QCOMPARE(dialog->selectedNameFilter(), QStringLiteral("Quillet File (*.qlf)"));
            QVERIFY(!dialog->testOption(QFileDialog::DontConfirmOverwrite));
            dialog->selectNameFilter(QStringLiteral("Windows Bitmap (*.bmp)"));
            static_cast<QDialog*>(dialog)->accept(); // as the Save button does
        });
        const std::optional<FileDialogAnswer> saved = platform.ShowSave(request);
        QVERIFY(saved.has_value());
        QCOMPARE(saved->FileName, proposed); // no extension added
        QCOMPARE(saved->FilterIndex, 1);

        request.Flags = OFN_FILEMUSTEXIST;
        WhenShown<QFileDialog>([](QFileDialog* dialog) {
            QCOMPARE(dialog->acceptMode(), QFileDialog::AcceptOpen);
            QCOMPARE(dialog->fileMode(), QFileDialog::ExistingFile);
            dialog->reject();
        });
        QVERIFY(!platform.ShowOpen(request).has_value());
    }

    void colourDialogStartsOnTheColourAndReturnsTheChoice() {
        WhenShown<QColorDialog>([](QColorDialog* dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Select a color"));
            QCOMPARE(dialog->currentColor(), QColor(10, 20, 30));
            dialog->setCurrentColor(QColor(0, 0, 255));
            dialog->accept();
        });
        QCOMPARE(platform.ShowColor(RGB(10, 20, 30), "Select a color"),
                 std::optional<std::uint32_t>(RGB(0, 0, 255)));

        WhenShown<QColorDialog>([](QColorDialog* dialog) { dialog->reject(); });
        QVERIFY(!platform.ShowColor(RGB(10, 20, 30), "Select a color").has_value());
    }

    void filesAreWrittenWholeOrNotAtAll() {
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath("a.qlf");
        QVERIFY(!platform.WriteFileAtomically(path.toStdString(), "old").has_value());
        QVERIFY(!platform.WriteFileAtomically(path.toStdString(), "new\r\nfile").has_value());
        QCOMPARE(Read(path), QByteArray("new\r\nfile"));

        // A directory in the way: the error is reported and nothing is left behind.
        const std::optional<std::string> error =
            platform.WriteFileAtomically(dir.path().toStdString(), "x");
        QVERIFY(error.has_value() && !error->empty());
        const QString missing = QDir(dir.path()).filePath("no/such/dir/b.qlf");
        QVERIFY(platform.WriteFileAtomically(missing.toStdString(), "x").has_value());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.qlf"});
    }

    void bitmapsAre24BitWithTheSurfacePixels() {
        Surface image(3, 2);
        image.SetPixel(0, 0, RGB(255, 0, 0));
        image.SetPixel(2, 1, RGB(0, 0, 255));
        image.SetPixel(1, 1, RGB(1, 2, 3));
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath("plain name");
        QVERIFY(!platform.ExportBitmap(image, path.toStdString()).has_value());

        const QByteArray bytes = Read(path);
        QVERIFY(bytes.startsWith("BM"));
        QCOMPARE(static_cast<int>(bytes[28]), 24); // bits per pixel
        QImage back;
        QVERIFY(back.loadFromData(bytes, "BMP"));
        QCOMPARE(back.size(), QSize(3, 2));
        QCOMPARE(back.pixelColor(0, 0), QColor(255, 0, 0));
        QCOMPARE(back.pixelColor(2, 1), QColor(0, 0, 255));
        QCOMPARE(back.pixelColor(1, 1), QColor(1, 2, 3));
        QCOMPARE(back.pixelColor(1, 0), QColor(255, 255, 255));
    }

    void progressDialogGoesAwayWhenDoneOrIdle() {
        const auto progressShown = [] {
            const QWidgetList windows = QApplication::topLevelWidgets();
            return std::count_if(windows.begin(), windows.end(),
                                 [](QWidget* w) { return w->inherits("QProgressDialog"); });
        };
        platform.Progress(1, 10);
        QCOMPARE(progressShown(), 1);
        platform.Progress(10, 10);
        QCOMPARE(progressShown(), 0);

        // A load that never reports its end: the dialog goes once the program waits for input.
        platform.Progress(1, 10);
        QEventLoop idle;
        QTimer::singleShot(20, &idle, &QEventLoop::quit);
        idle.exec();
        QCOMPARE(progressShown(), 0);
    }

    void progressCanBeCancelledOnceItShows() {
        // The dialog shows once the operation has run, or looks set to run, for half a second;
        // each step sleeps, so it shows within 50 steps.
        constexpr long long TOTAL = 1'000'000;
        long long done = 0;
        while (ProgressDialog() == nullptr || !ProgressDialog()->isVisible()) {
            QVERIFY2(done < TOTAL / 2, "the progress dialog never showed");
            done += 1000;
            QVERIFY(platform.Progress(done, TOTAL));
            QThread::msleep(10);
        }
        QProgressDialog* dialog = ProgressDialog();
        QCOMPARE(dialog->windowModality(), Qt::ApplicationModal);
        auto* cancel = dialog->findChild<QPushButton*>();
        QVERIFY(cancel != nullptr && cancel->isVisible());
        QCOMPARE(cancel->text(), QStringLiteral("Cancel"));
        QTest::mouseClick(cancel, Qt::LeftButton);
        QVERIFY(!platform.Progress(done + 1000, TOTAL));
        QVERIFY(ProgressDialog() == nullptr);
        // The operation stays cancelled, without a dialog, to its end.
        QVERIFY(!platform.Progress(done + 2000, TOTAL));
        QVERIFY(ProgressDialog() == nullptr);
        QVERIFY(!platform.Progress(TOTAL, TOTAL));

        QVERIFY(platform.Progress(1, 10));
        QVERIFY(ProgressDialog() != nullptr);
        ProgressDialog()->cancel();
        QVERIFY(!platform.Progress(2, 10));
        // A cancelled operation that never reports its end is over once the program is idle.
        QEventLoop idle;
        QTimer::singleShot(20, &idle, &QEventLoop::quit);
        idle.exec();
        QVERIFY(platform.Progress(1, 10));
        QVERIFY(platform.Progress(10, 10));
        QVERIFY(ProgressDialog() == nullptr);
    }
};

QTEST_MAIN(QtPlatformTest)
#include "qt_platform_test.moc"
