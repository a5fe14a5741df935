// Quillet: draws patterns of regular polygons that share corners and sides.

#include "app/main_window.h"
#include "app/recovery.h"
#include "platform/qt/canvas_widget.h"
#include "platform/qt/command_line.h"
#include "platform/qt/end_watch.h"
#include "platform/qt/first_paint_report.h"
#include "platform/qt/fixed_layout.h"
#include "platform/qt/main_window_view.h"

#include <QApplication>
#include <QFontDatabase>
#include <QIcon>
#include <QImageReader>
#include <QLocale>
#include <QSessionManager>
#include <QSize>
#include <QTranslator>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <future>
#include <memory>
#include <optional>
#include <semaphore>
#include <thread>
#include <unistd.h>
#include <vector>

#ifndef QUILLET_VERSION
#error "QUILLET_VERSION, the project's version, must be defined by the build"
#endif

namespace {

// Help and version go to stdout; a failed write there (a closed pipe, a full disk) fails, and
// says why on stderr.
int Print(const std::string& text) {
    errno = 0;
    std::fputs(text.c_str(), stdout);
    if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0) {
        return 0;
    }
    const int error = errno;
    std::fprintf(stderr, "quillet: cannot write to standard output%s%s.\n", error != 0 ? ": " : "",
                 error != 0 ? std::strerror(error) : "");
    return 1;
}

// Qt's first font loads the font configuration and lists the installed fonts, a good part of
// the start-up. Both are done here, on a thread of their own, while the application connects to
// the display; then the thread decodes the icon while the window is built. Qt's font database
// and image reader are for any thread. Nothing is done where Qt does not use fontconfig.
class StartupPreparation {
  public:
    StartupPreparation() {
        using Init = int (*)();
        if (const auto init = reinterpret_cast<Init>(dlsym(RTLD_DEFAULT, "FcInit"))) {
            iconImages_ = icon_.get_future().share();
            thread_ = std::jthread([this, init] {
                init();
                // The font database belongs to the application, which may not exist yet.
                go_.acquire();
                if (withApplication_) {
                    QFontDatabase::families();
                }
                fontsReady_.release();
                if (withApplication_) {
                    // Not fonts, but just as much waiting: the image format plugins, which
                    // the menu bar's first icon loads all of to ask what its file is.
                    QImageReader::supportedImageFormats();
                }
                icon_.set_value(withApplication_ ? quillet::ReadAppIconImages()
                                                 : std::vector<QImage>());
            });
        }
    }
    // Must go before the application does: the thread uses it.
    ~StartupPreparation() {
        release(false);
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    StartupPreparation(const StartupPreparation&) = delete;
    StartupPreparation& operator=(const StartupPreparation&) = delete;

    // The application exists: the font database may be filled.
    void applicationExists() { release(true); }
    // Waits for the fonts; call it before the first font.
    void fontsPrepared() {
        release(false);
        if (thread_.joinable() && !fontsWaited_) {
            fontsReady_.acquire();
            fontsWaited_ = true;
        }
    }
    // The icon's images as the thread reads them; not valid without the thread.
    std::shared_future<std::vector<QImage>> iconImages() const { return iconImages_; }

  private:
    void release(bool withApplication) {
        if (!released_) {
            released_ = true;
            withApplication_ = withApplication;
            go_.release();
        }
    }

    std::binary_semaphore go_{0};
    std::binary_semaphore fontsReady_{0};
    bool released_ = false;
    bool withApplication_ = false;
    bool fontsWaited_ = false;
    std::promise<std::vector<QImage>> icon_;
    std::shared_future<std::vector<QImage>> iconImages_;
    std::jthread thread_;
};

} // namespace

int main(int argc, char* argv[]) {
    // Answered before Qt starts: they need no display.
    switch (quillet::FindInfoRequest(argc, argv)) {
    case quillet::InfoRequest::Help:
        return Print(quillet::HelpText());
    case quillet::InfoRequest::Version:
        return Print(quillet::VersionText(QUILLET_VERSION));
    case quillet::InfoRequest::None:
        break;
    }
    if (const std::optional<std::string> why =
            quillet::MissingDisplay(argc, argv, quillet::EnvironmentVariable,
                                    quillet::XDisplayAnswers, quillet::QtPlatformsFolder())) {
        std::fprintf(stderr, "quillet: %s\n", why->c_str());
        return 1;
    }

    std::optional<QApplication> application;
    StartupPreparation preparation;
    {
        const quillet::FatalStartGuard guard;
        application.emplace(argc, argv);
    }
    preparation.applicationExists();
    QApplication& app = *application;
    if (preparation.iconImages().valid()) {
        quillet::ProvideAppIconImages(preparation.iconImages());
    }
    QApplication::setWindowIcon(quillet::AppIcon());
    // Lets Wayland desktops match the window with the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Quillet"));
    // Qt's standard buttons and dialogs in the user's language; the program's texts stay.
    const std::unique_ptr<QTranslator> qtTexts = quillet::QtTranslations(QLocale());
    if (qtTexts) {
        QApplication::installTranslator(qtTexts.get());
    }

    preparation.fontsPrepared();
    quillet::MainWindowView view;
    quillet::StartupPlatform platform(view);
    const QSize canvas = view.canvas()->innerSize();
    quillet::frmMain form(platform, canvas.width(), canvas.height());
    // QApplication has taken its own options out of argv; what is left is the program's.
    form.strCmdLine = quillet::MakeCmdLine(argc, argv);
    if (const std::optional<std::string> why = quillet::CmdLineNotOpenedReason(form.strCmdLine)) {
        std::fprintf(stderr, "%s\n", quillet::NotOpenedLine(form.strCmdLine, *why).c_str());
    }
    view.attach(form);

    // An unsaved drawing outlives an end nobody can be asked about, in a recovery file that
    // the next start offers.
    const std::optional<std::string> recoveryFolder = quillet::RecoveryFolder(
        quillet::EnvironmentVariable("XDG_STATE_HOME"), quillet::EnvironmentVariable("HOME"));
    form.strRecoveryFolder = recoveryFolder.value_or("");
    quillet::RecoveryKeeper keeper(recoveryFolder, static_cast<long long>(::getpid()),
                                   [] { return std::chrono::system_clock::now(); });
    quillet::EndWatch endWatch(form, keeper);
    if (const std::optional<std::string> why = endWatch.watchSignals()) {
        std::fprintf(stderr,
                     "quillet: %s; the drawing is not kept when the program is told "
                     "to end\n",
                     why->c_str());
    }

    // Ending the desktop session closes the window like its close box, unsaved-changes
    // question included, and a Cancel there keeps the session going. A session that allows
    // no questions gets the drawing in a recovery file, and hears that it was not saved when
    // even that failed.
    QObject::connect(
        &app, &QGuiApplication::commitDataRequest, &view,
        [&view, &endWatch](QSessionManager& manager) {
            if (manager.allowsInteraction()) {
                if (!view.close()) {
                    manager.cancel();
                }
            } else if (!endWatch.commitWithoutQuestions()) {
                manager.cancel();
            }
            manager.release();
        },
        Qt::DirectConnection);

    // Messages of the load come up before the window, and in the terminal as well.
    platform.SetEchoToStderr(true);
    view.load();
    platform.SetEchoToStderr(false);
    if (form.recoveryOffer == quillet::RecoveryOffer::Opened &&
        !quillet::CmdLineNotOpenedReason(form.strCmdLine) && !form.strCmdLine.empty()) {
        std::fprintf(
            stderr, "%s\n",
            quillet::NotOpenedLine(form.strCmdLine, "the recovery file was opened in its place")
                .c_str());
    }
    if (endWatch.endStatus()) {
        return *endWatch.endStatus();
    }
    if (form.Unloaded) {
        return 0;
    }
    quillet::FirstPaintReport firstPaint;
    firstPaint.watchIfAsked(view);
    view.show();
    endWatch.armExit();
    const int status = QApplication::exec();
    endWatch.disarm();
    if (form.Unloaded) {
        // The user answered the question at the end: this run's recovery file is stale.
        keeper.Forget();
    }
    return endWatch.endStatus().value_or(status);
}
