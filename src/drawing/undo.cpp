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

// Paints one fill as a load replays it.
void Paint(Surface& pic, const udtFill& f) {
    const double x = RoundPixel(f.X), y = RoundPixel(f.Y);
    pic.ExtFloodFill(x, y, pic.GetPixel(x, y), static_cast<Colour>(f.Color));
}

// Whether the same pixels changed from `a0` to `a` as from `b0` to `b`.
bool SameChange(const Surface& a0, const Surface& a, const Surface& b0, const Surface& b) {
    const std::vector<Colour>& pa0 = a0.Pixels();
    const std::vector<Colour>& pa = a.Pixels();
    const std::vector<Colour>& pb0 = b0.Pixels();
    const std::vector<Colour>& pb = b.Pixels();
    for (std::size_t i = 0; i < pa.size(); ++i) {
        if ((pa[i] != pa0[i]) != (pb[i] != pb0[i])) {
            return false;
        }
    }
    return true;
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
    Surface withBefore(w, h), withoutBefore(w, h);
    List1<udtFill> kept;
    kept.ReDim(intFillCount);
    int count = fillsBefore;
    for (int i = 1; i <= fillsBefore; ++i) {
        kept[i] = arrFills[i];
    }
    for (int i = fillsBefore + 1; i <= intFillCount; ++i) {
        withBefore.BitBlt(with, w, h);
        withoutBefore.BitBlt(without, w, h);
        Paint(with, arrFills[i]);
        Paint(without, arrFills[i]);
        if (SameChange(withBefore, with, withoutBefore, without)) {
            kept[++count] = arrFills[i];
        } else {
            without.Swap(withoutBefore);
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
