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
#include <QIcon>
#include <QLocale>
#include <QSessionManager>
#include <QSize>
#include <QTranslator>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
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
    {
        const quillet::FatalStartGuard guard;
        application.emplace(argc, argv);
    }
    QApplication& app = *application;
    QApplication::setWindowIcon(quillet::AppIcon());
    // Lets Wayland desktops match the window with the installed entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Quillet"));
    // Qt's standard buttons and dialogs in the user's language; the program's texts stay.
    const std::unique_ptr<QTranslator> qtTexts = quillet::QtTranslations(QLocale());
    if (qtTexts) {
        QApplication::installTranslator(qtTexts.get());
    }

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
