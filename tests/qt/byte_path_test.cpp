// File names that are not UTF-8, through the real file dialog: Qt shows them with U+FFFD in
// place of the odd bytes, and the file meant must still be the one written.
#include "../core/square_file.h"
#include "../core/temp_dir.h"
#include "app/main_window.h"
#include "platform/qt/canvas_widget.h"
#include "platform/qt/main_window_view.h"
#include "platform/qt/qt_platform.h"
#include "project/project_file.h"
#include "project/project_format.h"

#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>

using namespace quillet;
using quillet::testing::TempDir;

namespace {

// The real dialogs; message boxes are recorded and answered from a script.
class AnsweringPlatform : public QtPlatform {
  public:
    using QtPlatform::QtPlatform;
    std::vector<std::string> messages;
    std::deque<MsgResult> answers; // Cancel when none is left

    using QtPlatform::MsgBox;
    MsgResult MsgBox(const std::string& text, const std::string&, MsgIcon, MsgButtons buttons,
                     const std::string&) override {
        messages.push_back(text);
        if (buttons == MsgButtons::OK) {
            return MsgResult::OK;
        }
        if (answers.empty()) {
            return MsgResult::Cancel;
        }
        const MsgResult answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

// Runs the acts on the file dialogs in the order they come up, one act each.
void OnFileDialogs(std::deque<std::function<void(QFileDialog*)>> acts) {
    if (acts.empty()) {
        return;
    }
    QTimer::singleShot(0, [acts]() mutable {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        QVERIFY(dialog != nullptr);
        const auto act = acts.front();
        acts.pop_front();
        OnFileDialogs(acts);
        act(dialog);
    });
}

void Accept(QFileDialog* dialog) {
    static_cast<QDialog*>(dialog)->accept(); // as the Save button does
}

void Reject(QFileDialog* dialog) {
    dialog->reject();
}

std::vector<std::string> Names(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File(""))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

constexpr const char* SQUARE = quillet::testing::SQUARE_FILE;

} // namespace

class BytePathTest : public QObject {
    Q_OBJECT

  private slots:
    // Opened from the command line, changed, and saved under the proposed name: the opened
    // file is asked about and replaced, and no other file appears.
    void saveAsReplacesTheOpenedFile() {
        TempDir dir;
        const std::string path = dir.Write("tri\xFF.qlf", SQUARE);
        MainWindowView view;
        AnsweringPlatform platform{view};
        frmMain form{platform, view.canvas()->innerSize().width(),
                     view.canvas()->innerSize().height()};
        form.RandomSeed = 1;
        form.strCmdLine = path;
        view.attach(form);
        view.load();
        QCOMPARE(form.strFileName, path);
        QCOMPARE(form.intPointCount, 4);
        QVERIFY(platform.messages.empty());
        form.picSelColor_Click(12);
        form.SetFillValue(1);
        form.picMain_MouseMove(0, 0, 400.0f, 400.0f);
        form.picMain_Click();
        QVERIFY(form.blnModified);
        const std::string expected =
            WriteProject(CollectProject(form), platform.DecimalSeparator());

        // No: the dialog comes back, and a Cancel there writes nothing.
        platform.answers = {MsgResult::No};
        OnFileDialogs({Accept, Reject});
        form.mnuSaveAs_Click();
        QCOMPARE(platform.messages.size(), std::size_t{1});
        QVERIFY(platform.messages[0].find(path) != std::string::npos);
        QCOMPARE(TempDir::Read(path), std::string(SQUARE));

        platform.answers = {MsgResult::Yes};
        OnFileDialogs({Accept});
        form.mnuSaveAs_Click();
        QCOMPARE(platform.messages.size(), std::size_t{2});
        QCOMPARE(TempDir::Read(path), expected);
        QCOMPARE(Names(dir), std::vector<std::string>{"tri\xFF.qlf"});
        QVERIFY(!form.blnModified);
    }

    // A new name typed with U+FFFD cannot say which bytes are meant: it is refused with a
    // message and the dialog comes back.
    void aNewNameWithAReplacementCharacterIsRefused() {
        TempDir dir;
        const std::string proposed = dir.Write("tri\xFF.qlf", SQUARE);
        MainWindowView view;
        AnsweringPlatform platform{view};
        FileDialogRequest request{"Save Quillet File as...", proposed,
                                  "Windows Bitmap (*.bmp)|*.bmp|Quillet File (*.qlf)|*.qlf",
                                  OFN_OVERWRITEPROMPT, 2};
        OnFileDialogs({[](QFileDialog* dialog) {
                           dialog->selectFile(QStringLiteral("nieuw\uFFFD.qlf"));
                           static_cast<QDialog*>(dialog)->accept();
                       },
                       Reject});
        QVERIFY(!platform.ShowSave(request).has_value());
        QCOMPARE(platform.messages.size(), std::size_t{1});
        QCOMPARE(Names(dir), std::vector<std::string>{"tri\xFF.qlf"});
    }

    // A dialog's answer back to bytes, against real entries whose names are not UTF-8.
    void answersMapBackToTheBytesOfTheFileMeant() {
        TempDir dir;
        for (const char* name : {"tri\xFF.qlf", "a\xFE.qlf", "b\xFA.qlf", "b\xFB.qlf"}) {
            dir.Write(name, "x");
        }
        std::filesystem::create_directory(dir.File("map\xFF"));
        const QString folder = QString::fromStdString(dir.File(""));
        const std::string proposed = dir.File("tri\xFF.qlf");
        struct Row {
            QString answer;
            std::optional<std::string> path;
        };
        const std::vector<Row> rows{
            {folder + QStringLiteral("tri\uFFFD.qlf"), proposed},
            {folder + QStringLiteral("a\uFFFD.qlf"), dir.File("a\xFE.qlf")},
            {folder + QStringLiteral("map\uFFFD/new.qlf"), dir.File("map\xFF/new.qlf")},
            {folder + QStringLiteral("map\uFFFD/tri\uFFFD.qlf"), dir.File("map\xFF/tri\xFF.qlf")},
            {folder + QStringLiteral("\u00E9.qlf"), dir.File("\xC3\xA9.qlf")},
            {folder + QStringLiteral("b\uFFFD.qlf"), std::nullopt}, // two entries show alike
            {folder + QStringLiteral("new\uFFFD.qlf"),
             std::nullopt}, // a new name: its bytes are unknown
        };
        for (const Row& row : rows) {
            QCOMPARE(PathOfDialogAnswer(row.answer, proposed), row.path);
        }
    }
};

QTEST_MAIN(BytePathTest)
#include "byte_path_test.moc"
