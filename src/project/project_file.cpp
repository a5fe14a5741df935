#include "project/project_file.h"

#include "app/main_window.h"
#include "drawing/fill_replay.h"
#include "geometry/polygon.h"
#include "geometry/render.h"
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
    intPointCount = static_cast<std::int16_t>(data.points.size());
    arrPoints.ReDim(intPointCount);
    for (int i = 1; i <= intPointCount; ++i) {
        arrPoints[i] = data.points[static_cast<std::size_t>(i - 1)];
    }
    intLineCount = static_cast<std::int16_t>(data.lines.size());
    arrLines.ReDim(intLineCount);
    for (int i = 1; i <= intLineCount; ++i) {
        arrLines[i] = data.lines[static_cast<std::size_t>(i - 1)];
    }
    intFillCount = static_cast<std::int16_t>(data.fills.size());
    arrFills.ReDim(intFillCount);
    for (int i = 1; i <= intFillCount; ++i) {
        arrFills[i] = data.fills[static_cast<std::size_t>(i - 1)];
    }

    strFileName = path;
    picMain.Cls();
    blnMarkShown = false;
    blnModified = false;
    OpenStep();
    intUndoFloor = intLineCount;
    for (int i = 1; i <= intLineCount; ++i) {
        const udtLine l = arrLines[i];
        AddLine(*this, picMain, l.X1, l.Y1, l.X2, l.Y2, COLOR_LINE, true);
    }

    // Replay the fills, keeping the pictures before the two newest for fill undo.
    const int w = static_cast<int>(RoundPixel(picMain.ScaleWidth()));
    const int h = static_cast<int>(RoundPixel(picMain.ScaleHeight()));
    const int n = intFillCount;
    bool cancelled = false;
    auto replay = [this, n, &cancelled](int i) {
        if (!cancelled) {
            FloodFillAt(arrFills[i].Color, arrFills[i].X, arrFills[i].Y);
            if (OnFillReplayed) {
                OnFillReplayed(i);
            }
            cancelled = !platform.Progress(i, n);
        }
    };
    if (OnFillReplayed) {
        OnFillReplayed(0);
    }
    if (n > 1) {
        picMain.DrawMode = R2_COPYPEN;
        int next = 1;
        if (n > 2 && !OnFillReplayed) {
            // The older fills need not be seen one by one: the replay may take them on the
            // regions of the picture rather than flood the canvas for each. The hook wants the
            // canvas after every fill, so it gets them painted one by one.
            auto fill = [this](int i) {
                const udtFill& f = arrFills[i];
                // Seeded as FloodFillAt seeds it.
                return FillAt{RoundPixel(f.X), RoundPixel(f.Y), static_cast<Colour>(f.Color)};
            };
            auto painted = [this, n, &cancelled](int i) {
                cancelled = !platform.Progress(i, n);
                return !cancelled;
            };
            next = 1 + ReplayFills(picMain, n - 2, fill, painted);
        }
        for (int i = next; i <= n - 2; ++i) {
            replay(i);
        }
        picUndo2.BitBlt(picMain, w, h);
        replay(n - 1);
        picUndo1.BitBlt(picMain, w, h);
        replay(n);
    } else if (n == 1) {
        picUndo1.BitBlt(picMain, w, h);
        replay(1);
    }
    if (cancelled) {
        platform.Progress(1, 1);
        static_cast<DrawingState&>(*this) = before->state;
        picMain = before->main;
        picUndo1 = before->undo1;
        picUndo2 = before->undo2;
        ctl.chkFill = before->fillMode;
        Refresh();
        return;
    }
    intFillUndoDepth = static_cast<std::int16_t>(n > 1 ? 2 : n);

    platform.Progress(1, 1);
    Refresh();
    UpdateCommands(CommandEvent::LoadSucceeded);
    RememberDiskFile(path, stamp);
}

} // namespace quillet
