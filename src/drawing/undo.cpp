// Undo: fill undo rotates the picture through two snapshots; polygon undo removes the newest
// polygon step and repaints the remaining geometry.
#include "app/main_window.h"
#include "geometry/render.h"

namespace quillet {

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
    if (lines.Count > 0) {
        const int n = lines.Items[1] - 1;
        if (n < intUndoFloor) {
            UpdateCommands(CommandEvent::UndoLeftNoStep);
            return;
        }
        intLineCount = static_cast<std::int16_t>(n);
        arrLines.ReDimPreserve(n);
    }
    const udtUndoStep& points = arrStepPoints[k];
    if (points.Count > 0) {
        const int m = points.Items[1] - 1;
        intPointCount = static_cast<std::int16_t>(m);
        arrPoints.ReDimPreserve(m);
    }
    // Fills made since the step was opened were painted on a picture that is now gone: kept,
    // they would flood other areas when the file is loaded again. The snapshots show that
    // picture too, so fill undo ends here.
    CommitFillUndo();
    if (arrStepFills[k] < intFillCount) {
        KeepFills(arrStepFills[k]);
    }
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
