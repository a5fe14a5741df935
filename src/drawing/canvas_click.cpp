// The canvas click: a flood fill in fill mode, otherwise one step of the polygon construction.
#include "app/main_window.h"
#include "geometry/polygon.h"
#include "geometry/render.h"
#include "project/numbers.h"

namespace quillet {

void frmMain::picMain_Click() {
    if (ctl.chkFill == 1) {
        FillClick();
        return;
    }
    ConstructionClick();
}

void frmMain::ConstructionClick() {
    picMain.DrawMode = R2_COPYPEN;
    const int v = intClickPhase % 3;
    intClickPhase = static_cast<std::int16_t>(v + 1);

    if (v == 0) {
        // Kept until the polygon is built, so that a refused one leaves no trace on screen.
        const int w = static_cast<int>(RoundPixel(picMain.ScaleWidth()));
        const int h = static_cast<int>(RoundPixel(picMain.ScaleHeight()));
        picTemp.BitBlt(picMain, w, h);
        markBeforeConstruction_ = {blnMarkShown, dblMarkX, dblMarkY};
        dblX1 = dblMouseX;
        dblY1 = dblMouseY;
        DrawPoint(picMain, dblMouseX, dblMouseY, COLOR_CHOSEN);
        UpdateCommands(CommandEvent::ConstructionClick);
        Refresh();
        return;
    }

    if (v == 1) {
        UpdateCommands(CommandEvent::ConstructionClick);
        if (dblMouseX == dblX1 && dblMouseY == dblY1) {
            intClickPhase = 1;
            platform.MsgBox(MSG_SECOND_POINT, TITLE_QUILLET, MsgIcon::Exclamation, MsgButtons::OK);
            return;
        }
        if (intUndoSteps >= MAX_ELEMENTS) {
            // No step record left for another polygon: end the construction.
            intClickPhase = 3;
            RestoreCanvasBeforeConstruction();
            ShowDrawingFull();
            UpdateCommands(CommandEvent::PolygonCompleted);
            Refresh();
            return;
        }
        dblX2 = dblMouseX;
        dblY2 = dblMouseY;
        if (blnRubberShown) {
            // The side takes the rubber band's place. Left shown, the band would be erased by
            // a later drag with the exclusive-or pen, which would wipe the side off the canvas.
            DrawLine(picMain, dblX1, dblY1, dblRubberX, dblRubberY, R2_XORPEN, COLOR_RUBBER);
            blnRubberShown = false;
        }
        DrawLine(picMain, dblX1, dblY1, dblX2, dblY2, R2_COPYPEN, COLOR_LINE);
        DrawPoint(picMain, dblX1, dblY1, COLOR_CHOSEN);
        DrawPoint(picMain, dblX2, dblY2, COLOR_CHOSEN);

        OpenStep();
        if (intPointCount == 0) {
            intPointCount = 2;
            arrPoints.ReDim(2);
            arrPoints[1] = {dblX1, dblY1};
            arrPoints[2] = {dblX2, dblY2};
            arrLines.ReDim(1);
            arrLines[1] = {dblX1, dblY1, dblX2, dblY2};
            intLineCount = 1;
            udtUndoStep& lines = arrStepLines[intUndoSteps];
            lines.Count = 1;
            lines.Items.ReDim(1);
            lines.Items[1] = 1;
            udtUndoStep& points = arrStepPoints[intUndoSteps];
            points.Count = 2;
            points.Items.ReDim(2);
            points.Items[1] = 1;
            points.Items[2] = 2;
        }
        Refresh();
        return;
    }

    // The side click. The box may still hold a count the focus check never saw (or one it
    // refused): never build with a count outside 3 to 50.
    const double n = RoundHalfEven(ParseNumber(ctl.txtNumCorners, platform.DecimalSeparator()));
    if (n < 3 || n > 50) {
        intClickPhase = 2;
        platform.MsgBox(MSG_INVALID_CORNERS, TITLE_INVALID, MsgIcon::Exclamation, MsgButtons::OK);
        return;
    }
    const bool wasModified = blnModified;
    blnModified = true;
    DrawPoint(picMain, dblX1, dblY1, COLOR_POINT);
    DrawPoint(picMain, dblX2, dblY2, COLOR_POINT);
    if (!FindPolygonCentre(*this, picMain, static_cast<std::int16_t>(n))) {
        blnModified = wasModified;
        // The step opened for this polygon stays empty; it is not kept as an undo level.
        if (arrStepLines[intUndoSteps].Count == 0 && arrStepPoints[intUndoSteps].Count == 0) {
            KeepSteps(intUndoSteps - 1);
        }
        RestoreCanvasBeforeConstruction();
        ShowDrawingFull();
    } else {
        // The fill snapshots lack the new polygon: shown by a fill undo, they would have the
        // next fill painted on a picture the file can never replay.
        intFillUndoDepth = 0;
    }
    UpdateCommands(CommandEvent::PolygonCompleted);
    Refresh();
}

void frmMain::RestoreCanvasBeforeConstruction() {
    const int w = static_cast<int>(RoundPixel(picMain.ScaleWidth()));
    const int h = static_cast<int>(RoundPixel(picMain.ScaleHeight()));
    picMain.BitBlt(picTemp, w, h);
    blnMarkShown = markBeforeConstruction_.shown;
    dblMarkX = markBeforeConstruction_.x;
    dblMarkY = markBeforeConstruction_.y;
    blnRubberShown = false;
}

} // namespace quillet
