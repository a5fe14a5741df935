#include "app/recovery.h"

#include "app/main_window.h"
#include "platform/file_write.h"
#include "project/numbers.h"
#include "project/project_file.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <sys/stat.h>
#include <utility>

namespace quillet {

namespace {

namespace fs = std::filesystem;

constexpr const char* PREFIX = "recovery-";

bool IsRecoveryName(const std::string& name) {
    return name.starts_with(PREFIX) && name.size() > 4 && LowerEnding(name) == ".qlf";
}

// Makes the folder and every missing folder above it with mode 0700, as the XDG rule asks:
// the drawing is the user's alone. Folders that exist keep their mode. Returns errno.
int MakeFolders(const fs::path& folder) {
    fs::path made;
    for (const fs::path& part : folder) {
        made /= part;
        if (::mkdir(made.c_str(), 0700) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return errno;
    }
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

} // namespace

std::optional<std::string> RecoveryFolder(const std::string& xdgStateHome,
                                          const std::string& home) {
    if (!xdgStateHome.empty() && xdgStateHome.front() == '/') {
        return (fs::path(xdgStateHome) / "quillet").string();
    }
    if (!home.empty() && home.front() == '/') {
        return (fs::path(home) / ".local" / "state" / "quillet").string();
    }
    return std::nullopt;
}

std::string RecoveryFileName(long long pid, std::chrono::system_clock::time_point when) {
    using namespace std::chrono;
    const auto ms = duration_cast<milliseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char stamp[48];
    std::snprintf(stamp, sizeof stamp, "%04d%02d%02d-%02d%02d%02d-%03d", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(ms % 1000));
    return std::string(PREFIX) + std::to_string(pid) + "-" + stamp + ".qlf";
}

std::optional<std::string> NewestRecoveryFile(const std::string& folder) {
    std::optional<std::pair<fs::file_time_type, std::string>> newest;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code entryError;
        if (!IsRecoveryName(name) || !it->is_regular_file(entryError)) {
            continue;
        }
        const fs::file_time_type written = it->last_write_time(entryError);
        if (entryError) {
            continue;
        }
        std::pair<fs::file_time_type, std::string> candidate{written, it->path().string()};
        if (!newest || *newest < candidate) {
            newest = std::move(candidate);
        }
    }
    if (!newest) {
        return std::nullopt;
    }
    return newest->second;
}

std::optional<std::string> RecoveryBytes(const DrawingState& d, char decimalSeparator) {
    if (!d.blnModified) {
        return std::nullopt;
    }
    // What a save would write: fill undos become final, as Save as makes them.
    DrawingState kept = d;
    kept.CommitFillUndo();
    if (kept.intPointCount == 0) {
        return std::nullopt;
    }
    return WriteProject(CollectProject(kept), decimalSeparator);
}

RecoveryKeeper::RecoveryKeeper(std::optional<std::string> folder, long long pid, Clock clock)
    : folder_(std::move(folder)), pid_(pid), clock_(std::move(clock)) {}

RecoveryResult RecoveryKeeper::Keep(const DrawingState& d, Platform& platform) {
    RecoveryResult result;
    const std::optional<std::string> bytes = RecoveryBytes(d, platform.DecimalSeparator());
    if (!bytes) {
        // Saved or emptied since: an older file of this run holds nothing still wanted.
        Forget();
        return result;
    }
    if (!keptPath_.empty() && *bytes == keptBytes_ && FileExists(keptPath_)) {
        result.kind = RecoveryResult::Kind::AlreadyKept;
        result.path = keptPath_;
        return result;
    }
    result.kind = RecoveryResult::Kind::Failed;
    if (!folder_) {
        result.line = "quillet: the unsaved drawing is lost: no folder for a recovery file "
                      "(neither XDG_STATE_HOME nor HOME is an absolute path)";
        return result;
    }
    if (const int error = MakeFolders(*folder_)) {
        result.line = "quillet: the unsaved drawing is lost: cannot make the folder '" + *folder_ +
                      "': " + DescribeWriteError(error);
        return result;
    }
    // Never over another file: several windows may end in the same moment.
    const std::string base = (fs::path(*folder_) / RecoveryFileName(pid_, clock_())).string();
    std::string path = base;
    for (int n = 2; FileExists(path) || path == keptPath_; ++n) {
        path = base.substr(0, base.size() - 4) + "-" + std::to_string(n) + ".qlf";
    }
    result.path = path;
    if (const std::optional<std::string> reason = platform.WriteFileAtomically(path, *bytes)) {
        result.line =
            "quillet: the unsaved drawing is lost: cannot write '" + path + "': " + *reason;
        return result;
    }
    // The older file of this process goes only now that the newer one is complete.
    Forget();
    keptPath_ = path;
    keptBytes_ = *bytes;
    result.kind = RecoveryResult::Kind::Written;
    result.line =
        "quillet: the unsaved drawing is kept in '" + path + "'; the next start offers to open it";
    return result;
}

void RecoveryKeeper::Forget() {
    if (!keptPath_.empty()) {
        std::error_code ec;
        fs::remove(keptPath_, ec);
    }
    keptPath_.clear();
    keptBytes_.clear();
}

RecoveryOffer frmMain::OfferRecovery() {
    if (strRecoveryFolder.empty()) {
        return RecoveryOffer::None;
    }
    const std::optional<std::string> file = NewestRecoveryFile(strRecoveryFolder);
    if (!file) {
        return RecoveryOffer::None;
    }
    // Else it is offered again at the next start.
    auto remove = [this, &file] {
        std::error_code ec;
        if (!fs::remove(*file, ec) && ec) {
            platform.MsgBox("Kan het herstelbestand '" + *file + "' niet verwijderen.",
                            TITLE_QUILLET, MsgIcon::Exclamation, MsgButtons::OK, ec.message());
        }
    };
    switch (platform.MsgBox(MSG_RECOVERY_FOUND, TITLE_QUILLET, MsgIcon::Exclamation,
                            MsgButtons::YesNo, *file)) {
    case MsgResult::Yes:
        LoadProject(*file);
        // A file that could not be opened (the load said why) or a cancelled load stays for
        // the next start; No removes it then.
        if (strFileName != *file) {
            return RecoveryOffer::Kept;
        }
        // The drawing is the user's unsaved work again, with no file of its own: Save as asks
        // where it goes, and an end without questions keeps it anew.
        strFileName.clear();
        blnModified = true;
        enabled.mnuSaveAs = true;
        remove();
        return RecoveryOffer::Opened;
    case MsgResult::No:
        remove();
        return RecoveryOffer::Declined;
    default:
        // No answer (the box went away with the program): nothing is decided.
        return RecoveryOffer::Kept;
    }
}

} // namespace quillet
