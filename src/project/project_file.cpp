#include "project/project_file.h"

#include "app/main_window.h"
#include "project/apply_project.h"
#include "project/numbers.h"

#include <optional>
#include <variant>

namespace quillet {

ProjectData CollectProject(const DrawingState& d) {
    ProjectData data;
    for (int i = 1; i <= d.intPointCount; ++i) {
        data.points.push_back(d.arrPoints[i]);
    }
    for (int i = 1; i <= d.intLineCount; ++i) {
        data.lines.push_back(d.arrLines[i]);
    }
    for (int i = 1; i <= d.intFillCount; ++i) {
        data.fills.push_back(d.arrFills[i]);
    }
    return data;
}

bool frmMain::SaveProject(const std::string& path) {
    const std::string bytes = WriteProject(CollectProject(*this), platform.DecimalSeparator());
    if (std::optional<std::string> reason = platform.WriteFileAtomically(path, bytes)) {
        platform.MsgBox("Kan '" + path + "' niet opslaan.\r\n" + *reason, TITLE_QUILLET,
                        MsgIcon::Stop, MsgButtons::OK);
        return false;
    }
    blnModified = false;
    RememberDiskFile(path, StampOf(path));
    return true;
}

void frmMain::LoadProject(const std::string& path) {
    if (!FileExists(path)) {
        platform.MsgBox("'" + path + "' bestaat niet.", TITLE_FAILED_OPEN, MsgIcon::Stop,
                        MsgButtons::OK);
        return;
    }
    // Taken before the read: a write by another program while it reads makes a later Save as
    // ask rather than overwrite it unasked.
    const std::optional<FileStamp> stamp = StampOf(path);
    // The whole file is read before the drawing is touched: a file that cannot be opened,
    // or a read the user cancels, loses nothing.
    std::variant<ProjectData, ProjectError> parsed = ParseProjectFile(
        path, platform.DecimalSeparator(), [this](long long done, long long total) {
            // Never reported as complete: the replay of the fills follows.
            return platform.Progress(done, total + 1);
        });
    if (const auto* error = std::get_if<ProjectError>(&parsed)) {
        platform.Progress(1, 1);
        if (!error->cancelled) {
            platform.MsgBox("Failed to open '" + path + "'", TITLE_QUILLET, MsgIcon::Stop,
                            MsgButtons::OK, error->Describe());
        }
        return;
    }
    const ProjectData& data = std::get<ProjectData>(parsed);
    // Kept until the fills are replayed, for a Cancel in the middle of a long replay; without
    // fills there is nothing to cancel.
    struct Kept {
        DrawingState state;
        Surface main, undo1, undo2;
        int fillMode;
    };
    std::optional<Kept> before;
    if (!data.fills.empty()) {
        before.emplace(Kept{*this, picMain, picUndo1, picUndo2, ctl.chkFill});
    }

    blnModified = false;
    NewProject();
    strFileName = path;
    const bool applied = ApplyProject(
        data, *this, {picMain, picUndo1, picUndo2},
        [this](long long done, long long total) { return platform.Progress(done, total); });
    if (!applied) {
        platform.Progress(1, 1);
        static_cast<DrawingState&>(*this) = before->state;
        picMain = before->main;
        picUndo1 = before->undo1;
        picUndo2 = before->undo2;
        ctl.chkFill = before->fillMode;
        Refresh();
        return;
    }
    platform.Progress(1, 1);
    Refresh();
    RememberDiskFile(path, stamp);
}

} // namespace quillet
