// Undo: fill undo rotates the picture through two snapshots; polygon undo removes the newest
// polygon step and repaints the remaining geometry.
#include "app/main_window.h"
#include "geometry/render.h"

namespace quillet {

void frmMain::mnuUndo_Click() {
    const int w = static_cast<int>(RoundPixel(picMain.ScaleWidth()));
    const int h = static_cast<int>(RoundPixel(picMain.ScaleHeight()));
    if (ctl.chkFill == 1) {
        if (intFillUndoDepth <= 0) {
            return;
        }
        picTemp.BitBlt(picMain, w, h);
        picMain.BitBlt(picUndo1, w, h);
        if (intFillUndoDepth == 2) {
            picUndo1.BitBlt(picUndo2, w, h);
        }
        (intFillUndoDepth == 2 ? picUndo2 : picUndo1).BitBlt(picTemp, w, h);
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
    intUndoSteps = static_cast<std::int16_t>(k - 1);
    arrStepLines.ReDimPreserve(intUndoSteps);
    arrStepPoints.ReDimPreserve(intUndoSteps);
    if (intPointCount == 0) {
        UpdateCommands(CommandEvent::UndoLeftNoPoints);
    }
    if (intUndoSteps == 0) {
        UpdateCommands(CommandEvent::UndoLeftNoStep);
    }
    picMain.Cls();
    cmdAll_Click();
}

} // namespace quillet
