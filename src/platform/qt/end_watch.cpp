#include "platform/qt/end_watch.h"

#include "app/main_window.h"
#include "platform/headless_platform.h"

#include <QCoreApplication>
#include <QEvent>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillet {

namespace {

constexpr int WATCHED[] = {SIGTERM, SIGHUP, SIGINT};

// The self-pipe: the handler only writes the signal's number, the event loop reads it.
int signalPipe[2] = {-1, -1};
EndWatch* armed = nullptr;

extern "C" void OnEndSignal(int signal) {
    const int saved = errno;
    const auto number = static_cast<unsigned char>(signal);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &number, 1);
    errno = saved;
}

void Say(const std::string& line) {
    if (!line.empty()) {
        std::fprintf(stderr, "%s\n", line.c_str());
        std::fflush(stderr);
    }
}

} // namespace

// An exit() while the event loop runs: nothing else will keep the drawing.
void KeepAtExit() {
    EndWatch* watch = armed;
    armed = nullptr;
    if (watch != nullptr && !watch->endStatus_) {
        HeadlessPlatform files(watch->separator_, HeadlessPlatform::Files::OnDisk);
        Say(watch->keep(files).line);
    }
}

namespace {
extern "C" void KeepAtExitC() {
    KeepAtExit();
}
} // namespace

EndWatch::EndWatch(frmMain& form, RecoveryKeeper& keeper)
    : form_(form), keeper_(keeper), separator_(form.platform.DecimalSeparator()) {
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installEventFilter(this);
    }
}

EndWatch::~EndWatch() {
    disarm();
    if (notifier_ != nullptr) {
        for (const int signal : WATCHED) {
            struct sigaction now {};
            if (::sigaction(signal, nullptr, &now) == 0 && now.sa_handler == OnEndSignal) {
                std::signal(signal, SIG_DFL);
            }
        }
    }
}

std::optional<std::string> EndWatch::watchSignals() {
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return std::string("cannot make a pipe: ") + std::strerror(errno);
    }
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &EndWatch::signalArrived);
    for (const int signal : WATCHED) {
        struct sigaction before {};
        if (::sigaction(signal, nullptr, &before) != 0) {
            return std::string("cannot read the handling of a signal: ") + std::strerror(errno);
        }
        if (before.sa_handler == SIG_IGN) {
            continue;
        }
        struct sigaction action {};
        action.sa_handler = OnEndSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        if (::sigaction(signal, &action, nullptr) != 0) {
            return std::string("cannot catch a signal: ") + std::strerror(errno);
        }
    }
    return std::nullopt;
}

void EndWatch::armExit() {
    static const bool registered =
        std::atexit(KeepAtExitC) == 0 && std::at_quick_exit(KeepAtExitC) == 0;
    if (registered) {
        armed = this;
    }
}

void EndWatch::disarm() {
    if (armed == this) {
        armed = nullptr;
    }
}

RecoveryResult EndWatch::keep(Platform& platform) {
    // A window already closed went through the question: the user has decided.
    if (form_.Unloaded) {
        return {};
    }
    return keeper_.Keep(form_, platform);
}

void EndWatch::signalArrived() {
    unsigned char number = 0;
    int first = 0;
    while (::read(signalPipe[0], &number, 1) == 1) {
        first = first == 0 ? number : first;
    }
    if (first == 0 || endStatus_) {
        return;
    }
    // Written before the loops end: a dialog open now could otherwise still be answered.
    Say(keep(form_.platform).line);
    endStatus_ = 128 + first;
    // Ends every running event loop, a modal dialog's as well; none asks anything after.
    QCoreApplication::exit(*endStatus_);
}

bool EndWatch::commitWithoutQuestions() {
    sessionEnding_ = true;
    const RecoveryResult result = keep(form_.platform);
    Say(result.line);
    return result.Safe();
}

bool EndWatch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Quit || !sessionEnding_ || endStatus_ || form_.Unloaded) {
        return QObject::eventFilter(watched, event);
    }
    // The session ends after a commit that allowed no questions: the drawing is kept (again,
    // should it have changed since), and the window closes without asking.
    const RecoveryResult result = keep(form_.platform);
    Say(result.line);
    if (!result.Safe()) {
        // Not kept: the question is better than a lost drawing.
        return QObject::eventFilter(watched, event);
    }
    endStatus_ = 0;
    QCoreApplication::exit(0);
    return true;
}

} // namespace quillet
