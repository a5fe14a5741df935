// Undo: fill undo rotates the picture through two snapshots; polygon undo removes the newest
// polygon step and repaints the remaining geometry.
#include "app/main_window.h"
#include "drawing/fill_replay.h"
#include "geometry/render.h"

#include <vector>

namespace quillet {

namespace {

// The drawing as a file of it opens: the first `lines` lines, closed at their ends, and the
// fills made before the step.
Surface Replayed(const DrawingState& d, int w, int h, int lines, int fills) {
    Surface pic(w, h);
    for (int i = 1; i <= lines; ++i) {
        const udtLine& l = d.arrLines[i];
        DrawSide(pic, l.X1, l.Y1, l.X2, l.Y2, R2_COPYPEN, COLOR_LINE);
    }
    pic.DrawMode = R2_COPYPEN;
    ReplayFills(
        pic, fills,
        [&d](int i) {
            const udtFill& f = d.arrFills[i];
            return FillAt{RoundPixel(f.X), RoundPixel(f.Y), static_cast<Colour>(f.Color)};
        },
        [](int) { return true; });
    return pic;
}

// Paints one fill as a load replays it; returns the pixels it changed.
std::vector<std::size_t> Paint(Surface& pic, const udtFill& f) {
    const std::vector<Colour> was = pic.Pixels();
    const double x = RoundPixel(f.X), y = RoundPixel(f.Y);
    std::vector<std::size_t> changed;
    if (pic.ExtFloodFill(x, y, pic.GetPixel(x, y), static_cast<Colour>(f.Color))) {
        const std::vector<Colour>& now = pic.Pixels();
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (now[i] != was[i]) {
                changed.push_back(i);
            }
        }
    }
    return changed;
}

} // namespace

// Of the fills made since the step was opened, keeps those that colour the same pixels
// without the step's lines as with them; the others were painted on a picture that is now
// gone and would flood other areas when the file is loaded again.
void frmMain::KeepFillsUnchangedByUndo(int linesLeft, int linesBefore, int fillsBefore) {
    const int w = static_cast<int>(RoundPixel(picMain.ScaleWidth()));
    const int h = static_cast<int>(RoundPixel(picMain.ScaleHeight()));
    Surface with = Replayed(*this, w, h, linesBefore, fillsBefore);
    Surface without =
        linesLeft == linesBefore ? with : Replayed(*this, w, h, linesLeft, fillsBefore);
    List1<udtFill> kept;
    kept.ReDim(intFillCount);
    int count = fillsBefore;
    for (int i = 1; i <= fillsBefore; ++i) {
        kept[i] = arrFills[i];
    }
    for (int i = fillsBefore + 1; i <= intFillCount; ++i) {
        const std::vector<std::size_t> made = Paint(with, arrFills[i]);
        Surface trial = without;
        if (Paint(trial, arrFills[i]) == made) {
            without.Swap(trial);
            kept[++count] = arrFills[i];
        }
    }
    intFillCount = static_cast<std::int16_t>(count);
    arrFills = kept;
    arrFills.ReDimPreserve(count);
}

void frmMain::mnuUndo_Click() {
    // Undo is locked while a polygon is built: the open step record and the canvas kept at
    // its first click belong to it.
    if (intClickPhase == 1 || intClickPhase == 2) {
        return;
    }
    if (ctl.chkFill == 1) {
        if (intFillUndoDepth <= 0) {
            return;
        }
        // The pictures turn round by exchanging their buffers, not by copying them: the shown
        // one goes last, the newest snapshot is shown.
        picMain.Swap(picUndo1);
        if (intFillUndoDepth == 2) {
            picUndo1.Swap(picUndo2);
        }
        Refresh();
        // Only the count modulo the cycle length matters; keep it far from the 16-bit limit.
        const int cycle = intFillUndoDepth + 1;
        int count = intFillUndoCount + 1;
        if (count > 30000) {
            count = count % cycle + cycle;
        }
        intFillUndoCount = static_cast<std::int16_t>(count);
        return;
    }

    const int k = intUndoSteps;
    if (k == 0) {
        return;
    }
    const udtUndoStep& lines = arrStepLines[k];
    const int linesBefore = intLineCount;
    if (lines.Count > 0) {
        const int n = lines.Items[1] - 1;
        if (n < intUndoFloor) {
            UpdateCommands(CommandEvent::UndoLeftNoStep);
            return;
        }
        intLineCount = static_cast<std::int16_t>(n);
    }
    const udtUndoStep& points = arrStepPoints[k];
    if (points.Count > 0) {
        const int m = points.Items[1] - 1;
        intPointCount = static_cast<std::int16_t>(m);
        arrPoints.ReDimPreserve(m);
    }
    // The snapshots show the picture with the step's lines, so fill undo ends here.
    CommitFillUndo();
    if (arrStepFills[k] < intFillCount) {
        KeepFillsUnchangedByUndo(intLineCount, linesBefore, arrStepFills[k]);
    }
    arrLines.ReDimPreserve(intLineCount);
    intFillUndoDepth = 0;
    KeepSteps(k - 1);
    if (intPointCount == 0) {
        UpdateCommands(CommandEvent::UndoLeftNoPoints);
    }
    if (intUndoSteps == 0) {
        UpdateCommands(CommandEvent::UndoLeftNoStep);
    }
    picMain.Cls();
    blnMarkShown = false;
    cmdAll_Click();
}

} // namespace quillet
