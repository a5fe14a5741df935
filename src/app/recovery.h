#pragma once
// Recovery files. When the program is told to end and nobody can be asked about unsaved
// changes, the drawing is written as an ordinary project file into the user's state folder;
// the next start offers the newest such file (frmMain::OfferRecovery).

#include "drawing/drawing_state.h"
#include "platform/platform.h"

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace quillet {

// $XDG_STATE_HOME/quillet when that is an absolute path (the XDG rule: a relative one is
// ignored), else $HOME/.local/state/quillet; nothing when neither can be used.
std::optional<std::string> RecoveryFolder(const std::string& xdgStateHome, const std::string& home);

// "recovery-<pid>-<UTC date and time to the millisecond>.qlf".
std::string RecoveryFileName(long long pid, std::chrono::system_clock::time_point when);

// The newest recovery file of the folder (last written; the greater name of two alike).
std::optional<std::string> NewestRecoveryFile(const std::string& folder);

// The file a drawing's unsaved changes are kept in: nothing when there are none, or when the
// drawing has no points (such a project could not be opened again, and nothing is lost).
std::optional<std::string> RecoveryBytes(const DrawingState& d, char decimalSeparator);

struct RecoveryResult {
    enum class Kind { NothingUnsaved, AlreadyKept, Written, Failed };
    Kind kind = Kind::NothingUnsaved;
    std::string path;
    // For the terminal: where the drawing is, or why it could not be kept; empty when there
    // is nothing new to say.
    std::string line;
    // Nothing is lost: no unsaved changes, or they are in a recovery file.
    bool Safe() const { return kind != Kind::Failed; }
};

// This process's recovery file: at most one, replaced by a newer one only once that is
// written, never one of another process.
class RecoveryKeeper {
  public:
    using Clock = std::function<std::chrono::system_clock::time_point()>;
    RecoveryKeeper(std::optional<std::string> folder, long long pid, Clock clock);

    // Nobody can be asked any more: the unsaved drawing goes into a recovery file, written
    // with the platform's checked atomic writer. The folders are made with mode 0700.
    RecoveryResult Keep(const DrawingState& d, Platform& platform);
    // The user has decided the drawing's fate (saved it, or answered the question): the
    // recovery file is no longer wanted.
    void Forget();
    const std::string& KeptPath() const { return keptPath_; }

  private:
    std::optional<std::string> folder_;
    long long pid_;
    Clock clock_;
    std::string keptPath_;
    std::string keptBytes_;
};

// The next start's question; the recovery file's path is its detail.
inline constexpr const char* MSG_RECOVERY_FOUND =
    "Er is een herstelbestand van een tekening die niet was opgeslagen toen Quillet werd "
    "afgesloten.\r\nWilt u het openen? Bij Nee wordt het herstelbestand verwijderd.";

} // namespace quillet
