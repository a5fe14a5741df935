#include "platform/qt/qt_platform.h"

#include "platform/file_write.h"
#include "platform/qt/canvas_widget.h"
#include "platform/qt/colour_box.h"
#include "platform/qt/corner_box.h"
#include "platform/qt/help_dialog.h"
#include "platform/qt/main_window_view.h"
#include "platform/qtgui/file_output.h"
#include "platform/surface.h"

#include <QAbstractEventDispatcher>
#include <QBuffer>
#include <QColorDialog>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QLayout>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>

#include <cerrno>
#include <dirent.h>
#include <filesystem>
#include <sys/stat.h>

namespace quillet {

QStringList NameFilters(const std::string& filter) {
    const QStringList parts = QString::fromStdString(filter).split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        // Qt reads the patterns from the parentheses at the end, separated by spaces.
        const QString patterns = parts[i + 1]
                                     .split(QLatin1Char(';'), Qt::SkipEmptyParts)
                                     .join(QLatin1Char(' '))
                                     .trimmed();
        const QString shown = QStringLiteral("(%1)").arg(patterns);
        filters << (description.endsWith(shown) ? description
                                                : QStringLiteral("%1 %2").arg(description, shown));
    }
    return filters;
}

QString MessageText(const std::string& text) {
    QString shown = QString::fromStdString(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

namespace {

// Qt's message box fixes its size whenever it lays itself out (when it is shown, when it shows
// or hides its details); where a window may be maximized anyway, the box lets itself grow
// again at once.
class MessageBox : public QMessageBox {
  public:
    MessageBox(SizeHold hold, Icon icon, const QString& title, const QString& text,
               StandardButtons buttons, QWidget* parent)
        : QMessageBox(icon, title, text, buttons, parent), hold_(hold) {}

  protected:
    bool event(QEvent* event) override {
        const bool handled = QMessageBox::event(event);
        const QSize unbounded(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        if (hold_ == SizeHold::AtLeast && maximumSize() != unbounded) {
            setMaximumSize(unbounded);
        }
        return handled;
    }

  private:
    SizeHold hold_;
};

// The path from the working folder on, as the dialog gives it back.
std::string AbsolutePath(const std::string& path) {
    if (path.empty() || path.front() == '/') {
        return path;
    }
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::current_path(ec);
    return ec ? path : (folder / path).string();
}

std::string LastPart(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The one entry of the folder that Qt shows as `shown`.
std::optional<std::string> EntryShownAs(const std::string& folder, const QString& shown) {
    DIR* dir = ::opendir(folder.empty() ? "." : folder.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::optional<std::string> found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        if (FromPath(entry->d_name) == shown) {
            found = entry->d_name;
            ++matches;
        }
    }
    ::closedir(dir);
    return matches == 1 ? found : std::nullopt;
}

bool Exists(const std::string& path) {
    struct stat status {};
    return ::lstat(path.c_str(), &status) == 0;
}

} // namespace

std::optional<std::string> PathOfDialogAnswer(const QString& answer, const std::string& proposed) {
    if (!proposed.empty() &&
        QDir::cleanPath(answer) == QDir::cleanPath(FromPath(AbsolutePath(proposed)))) {
        return proposed;
    }
    const QStringList parts = answer.split(QLatin1Char('/'));
    const QString proposedName = FromPath(LastPart(proposed));
    std::string path;
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0) {
            path += '/';
        }
        const QString& part = parts[i];
        if (!part.contains(QChar::ReplacementCharacter)) {
            path += ToPath(part);
        } else if (i + 1 == parts.size() && part == proposedName) {
            // The proposed name kept in another folder.
            path += LastPart(proposed);
        } else if (const std::optional<std::string> entry = EntryShownAs(path, part)) {
            path += *entry;
        } else {
            return std::nullopt;
        }
    }
    return path;
}

QtPlatform::QtPlatform(MainWindowView& view, SizeHold hold) : view_(view), hold_(hold) {
    if (auto* dispatcher = QAbstractEventDispatcher::instance()) {
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, &idleWatch_,
                         [this] { EndProgress(); });
    }
}

QtPlatform::~QtPlatform() = default;

QWidget* QtPlatform::DialogParent() const {
    return view_.isVisible() ? &view_ : nullptr;
}

MsgResult QtPlatform::MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                             MsgButtons buttons, const std::string& detail) {
    EndProgress();
    QMessageBox::Icon shownIcon = QMessageBox::Information;
    switch (icon) {
    case MsgIcon::Exclamation:
        shownIcon = QMessageBox::Warning;
        break;
    case MsgIcon::Stop:
        shownIcon = QMessageBox::Critical;
        break;
    case MsgIcon::Information:
        shownIcon = QMessageBox::Information;
        break;
    }
    const bool yesNoCancel = buttons == MsgButtons::YesNoCancel;
    const bool yesNo = buttons == MsgButtons::YesNo;
    QMessageBox::StandardButtons shownButtons = QMessageBox::Ok;
    if (yesNoCancel) {
        shownButtons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    } else if (yesNo) {
        shownButtons = QMessageBox::Yes | QMessageBox::No;
    }
    MessageBox box(hold_, shownIcon, QString::fromStdString(title), MessageText(text), shownButtons,
                   DialogParent());
    // Paths in messages are shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    if (!detail.empty()) {
        box.setDetailedText(MessageText(detail));
    }
    if (yesNoCancel || yesNo) {
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(yesNo ? QMessageBox::No : QMessageBox::Cancel);
    }
    box.exec();
    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Yes:
        return MsgResult::Yes;
    case QMessageBox::No:
        return MsgResult::No;
    default:
        // A Yes/No box that went away unanswered (the program is ending) decided nothing.
        return yesNoCancel || yesNo ? MsgResult::Cancel : MsgResult::OK;
    }
}

std::optional<FileDialogAnswer> QtPlatform::ShowFileDialog(const FileDialogRequest& request,
                                                           bool save) {
    std::string proposed = request.FileName;
    for (;;) {
        EndProgress();
        const std::optional<ChosenFile> chosen = ChooseFile(request, proposed, save);
        if (!chosen) {
            return std::nullopt;
        }
        const std::optional<std::string> path = PathOfDialogAnswer(chosen->name, proposed);
        if (!path) {
            MsgBox("'" + ToPath(chosen->name) +
                       "' kan niet worden gebruikt: het teken \xEF\xBF\xBD staat voor een deel "
                       "van een naam dat geen tekst is, en Quillet kan niet weten welk bestand "
                       "bedoeld is.\r\nKies een andere naam.",
                   request.DialogTitle, MsgIcon::Exclamation, MsgButtons::OK);
            continue;
        }
        // The dialog asked about the name as it shows it, which may be another file or none.
        if (save && (request.Flags & OFN_OVERWRITEPROMPT) && *path != ToPath(chosen->name) &&
            Exists(*path) && !QFileInfo::exists(chosen->name)) {
            switch (MsgBox("'" + *path + "' bestaat al.\r\nWilt u het vervangen?",
                           request.DialogTitle, MsgIcon::Exclamation, MsgButtons::YesNoCancel)) {
            case MsgResult::Yes:
                break;
            case MsgResult::No:
                proposed = *path;
                continue;
            default:
                return std::nullopt;
            }
        }
        return FileDialogAnswer{*path, chosen->filterIndex};
    }
}

std::optional<QtPlatform::ChosenFile>
QtPlatform::ChooseFile(const FileDialogRequest& request, const std::string& proposed, bool save) {
    QFileDialog dialog(DialogParent(), QString::fromStdString(request.DialogTitle));
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode((request.Flags & OFN_FILEMUSTEXIST) ? QFileDialog::ExistingFile
                                                           : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.Flags & OFN_OVERWRITEPROMPT));
    // A name typed without extension is used exactly as typed.
    dialog.setDefaultSuffix(QString());
    const QStringList filters = NameFilters(request.Filter);
    dialog.setNameFilters(filters);
    if (request.FilterIndex >= 1 && request.FilterIndex <= filters.size()) {
        dialog.selectNameFilter(filters[request.FilterIndex - 1]);
    }
    if (!proposed.empty()) {
        dialog.selectFile(FromPath(proposed));
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) {
        return std::nullopt;
    }
    const qsizetype type = filters.indexOf(dialog.selectedNameFilter());
    return ChosenFile{chosen.front(), type >= 0 ? static_cast<int>(type) + 1 : request.FilterIndex};
}

std::optional<FileDialogAnswer> QtPlatform::ShowSave(const FileDialogRequest& request) {
    return ShowFileDialog(request, true);
}

std::optional<FileDialogAnswer> QtPlatform::ShowOpen(const FileDialogRequest& request) {
    return ShowFileDialog(request, false);
}

std::optional<std::uint32_t> QtPlatform::ShowColor(std::uint32_t initial,
                                                   const std::string& title) {
    EndProgress();
    QColorDialog dialog(ToQColor(initial), DialogParent());
    dialog.setWindowTitle(QString::fromStdString(title));
    // Its layout fixes its size, which Wayland may not allow (SizeHold).
    if (hold_ == SizeHold::AtLeast && dialog.layout() != nullptr) {
        dialog.layout()->setSizeConstraint(QLayout::SetMinimumSize);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return std::nullopt;
    }
    return FromQColor(dialog.selectedColor());
}

void QtPlatform::ShowHelp() {
    EndProgress();
    frmHelp help(DialogParent(), hold_);
    help.exec();
}

void QtPlatform::FocusCornerBox() {
    view_.cornerBox()->setFocus(Qt::OtherFocusReason);
}

void QtPlatform::RefreshCanvas() {
    view_.canvas()->update();
}

bool QtPlatform::Progress(long long done, long long total) {
    if (done >= total) {
        const bool cancelled = cancelled_;
        EndProgress();
        return !cancelled;
    }
    if (cancelled_) {
        return false;
    }
    constexpr int STEPS = 1000;
    if (!progress_) {
        progress_ = std::make_unique<QProgressDialog>(DialogParent());
        progress_->setWindowTitle(QString::fromUtf8(
            FRM_MAIN_CAPTION.data(), static_cast<qsizetype>(FRM_MAIN_CAPTION.size())));
        progress_->setWindowModality(Qt::ApplicationModal);
        progress_->setRange(0, STEPS);
        progress_->setMinimumDuration(500);
        progress_->setValue(0);
    }
    // A load reports every fill, and a round of events costs more than a fill: one round in
    // each interval keeps the windows painted and the Cancel button alive.
    constexpr qint64 EVENT_INTERVAL_MS = 20;
    if (!sinceEvents_.isValid() || sinceEvents_.hasExpired(EVENT_INTERVAL_MS)) {
        progress_->setValue(static_cast<int>(done * STEPS / total));
        // Until the dialog shows, no input may reach the form in the middle of the operation;
        // once it shows, it blocks the form itself and its Cancel button needs the input.
        QCoreApplication::processEvents(
            progress_->isVisible() ? QEventLoop::AllEvents : QEventLoop::ExcludeUserInputEvents);
        sinceEvents_.start();
    }
    if (progress_->wasCanceled()) {
        progress_.reset();
        cancelled_ = true;
        return false;
    }
    return true;
}

void QtPlatform::EndProgress() {
    sinceEvents_.invalidate();
    progress_.reset();
    cancelled_ = false;
}

std::optional<std::string> QtPlatform::WriteFileAtomically(const std::string& path,
                                                           const std::string& bytes) {
    return WriteFileAtomicallyQt(
        path, QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

std::optional<std::string> QtPlatform::ExportBitmap(const Surface& image, const std::string& path) {
    return ExportBitmapQt(image, path);
}

char QtPlatform::DecimalSeparator() const {
    return QLocale::system().decimalPoint() == QStringLiteral(",") ? ',' : '.';
}

} // namespace quillet
