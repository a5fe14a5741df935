#pragma once
// The platform services of the program logic, realised with Qt: message boxes, the file and
// colour dialogs, the help window, focus and refresh of the main window, progress, file
// writing and the locale.

#include "platform/platform.h"
#include "platform/qt/fixed_layout.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <string>

class QProgressDialog;
class QWidget;

namespace quillet {

class MainWindowView;

// "Description|pattern|Description|pattern" as Qt name filters, one per file type.
QStringList NameFilters(const std::string& filter);
// A message text with its CR LF line breaks as Qt shows them.
QString MessageText(const std::string& text);

// The bytes of the file a dialog's answer names. Qt shows a name that is not UTF-8 with
// U+FFFD for its odd bytes, so such a name is matched back: the proposed name when the answer
// shows it, else the one entry of its folder that shows as the answer does. Nothing when no
// single file can be meant (a new name with U+FFFD, or two entries that show alike).
std::optional<std::string> PathOfDialogAnswer(const QString& answer, const std::string& proposed);

class QtPlatform : public Platform {
  public:
    // Its dialogs keep their sizes as `hold` says.
    explicit QtPlatform(MainWindowView& view, SizeHold hold = CurrentSizeHold());
    ~QtPlatform() override;

    using Platform::MsgBox;
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons, const std::string& detail) override;
    std::optional<FileDialogAnswer> ShowSave(const FileDialogRequest& request) override;
    std::optional<FileDialogAnswer> ShowOpen(const FileDialogRequest& request) override;
    std::optional<std::uint32_t> ShowColor(std::uint32_t initial,
                                           const std::string& title) override;
    void ShowHelp() override;

    void FocusCornerBox() override;
    void RefreshCanvas() override;
    bool Progress(long long done, long long total) override;

    std::optional<std::string> WriteFileAtomically(const std::string& path,
                                                   const std::string& bytes) override;
    std::optional<std::string> ExportBitmap(const Surface& image, const std::string& path) override;

    char DecimalSeparator() const override;

  protected:
    // Dialogs belong to the main window once it is on screen; before that they stand alone.
    QWidget* DialogParent() const;

  private:
    struct ChosenFile {
        QString name;
        int filterIndex = 1;
    };
    // Asks again while the answer names no single file, and asks before replacing a file
    // the dialog did not see under its shown name.
    std::optional<FileDialogAnswer> ShowFileDialog(const FileDialogRequest& request, bool save);
    // The dialog itself, starting on `proposed`.
    std::optional<ChosenFile> ChooseFile(const FileDialogRequest& request,
                                         const std::string& proposed, bool save);
    // Ends the operation in progress: the dialog goes, and the next one starts uncancelled.
    void EndProgress();

    MainWindowView& view_;
    SizeHold hold_;
    std::unique_ptr<QProgressDialog> progress_;
    QElapsedTimer sinceEvents_;
    // The user cancelled the operation in progress; Progress says so until it ends.
    bool cancelled_ = false;
    // Ends a progress display that was never reported complete once the program is idle.
    QObject idleWatch_;
};

} // namespace quillet
