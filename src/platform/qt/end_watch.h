#pragma once
// The ends of the program at which nobody can be asked about unsaved changes: SIGTERM, SIGHUP
// and SIGINT; the end of the desktop session when the session manager allows no questions;
// and an exit() from inside the running program, which is how Qt ends it when the connection
// to the X display is lost. At each of them an unsaved drawing goes into a recovery file.

#include "app/recovery.h"

#include <QObject>

#include <optional>
#include <string>

class QSocketNotifier;

namespace quillet {

class frmMain;

class EndWatch : public QObject {
    Q_OBJECT

  public:
    // One at a time: the signals and the exit hook are the process's.
    EndWatch(frmMain& form, RecoveryKeeper& keeper);
    ~EndWatch() override;
    EndWatch(const EndWatch&) = delete;
    EndWatch& operator=(const EndWatch&) = delete;

    // Catches SIGTERM, SIGHUP and SIGINT (one the program was started with ignored stays
    // ignored, as nohup wants): the drawing is kept and the event loops end with 128 + the
    // signal's number. Returns why the signals could not be caught.
    std::optional<std::string> watchSignals();
    // Until disarm(), an exit() keeps the drawing. It is written with the headless writer:
    // by then part of Qt may be gone.
    void armExit();
    void disarm();

    // The session manager asks to commit and allows no questions: the drawing is kept, and
    // the session's Quit that follows ends the program without the save-changes question.
    // False when the drawing could not be kept.
    bool commitWithoutQuestions();

    // The status the program ends with once it was told to end; nothing before.
    std::optional<int> endStatus() const { return endStatus_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void signalArrived();
    RecoveryResult keep(Platform& platform);

    frmMain& form_;
    RecoveryKeeper& keeper_;
    char separator_;
    QSocketNotifier* notifier_ = nullptr;
    bool sessionEnding_ = false;
    std::optional<int> endStatus_;

    friend void KeepAtExit();
};

} // namespace quillet
