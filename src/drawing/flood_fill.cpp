// Flood fill: the fill click, the painting of one fill record, the line hit test and the
// switch of fill mode.
#include "app/main_window.h"
#include "geometry/render.h"

#include <cmath>

namespace quillet {

namespace {
constexpr const char* MSG_FILLS_FULL =
    "De tekening is vol: meer dan 32767 vullingen kan Quillet niet bewaren.";
}

bool frmMain::IsOnLine(double x, double y) const {
    for (int i = 1; i <= intLineCount; ++i) {
        const udtLine& l = arrLines[i];
        const double dx = l.X1 - l.X2;
        const double dy = l.Y1 - l.Y2;
        if (dx == 0) {
            if (x == l.X1) {
                return true;
            }
            continue;
        }
        const double m = dy / dx;
        const double b = l.Y1 - m * l.X1;
        if (std::fabs((l.X1 + l.X2) / 2 - x) < std::fabs(l.X1 - l.X2) / 2 &&
            std::fabs(m * x + b - y) <= 1) {
            return true;
        }
    }
    return false;
}

void frmMain::FloodFillAt(std::int32_t colour, double x, double y) {
    picMain.DrawMode = R2_COPYPEN;
    const double px = RoundPixel(x);
    const double py = RoundPixel(y);
    const Colour seed = picMain.GetPixel(px, py);
    picMain.ExtFloodFill(px, py, seed, static_cast<Colour>(colour));
}

void frmMain::FillClick() {
    // Fill mode is locked while a polygon is built: its first point and side are on the canvas
    // but not yet in the drawing.
    if (intClickPhase == 1 || intClickPhase == 2) {
        return;
    }
    if (IsOnLine(dblMouseX, dblMouseY)) {
        platform.MsgBox(MSG_FILL_ON_LINE, TITLE_FILL_ERROR, MsgIcon::Exclamation, MsgButtons::OK);
        return;
    }
    CommitFillUndo();
    const Colour current = ctl.picColor & COLOUR_MASK;
    if (picMain.GetPixel(RoundPixel(dblMouseX), RoundPixel(dblMouseY)) == current) {
        return;
    }
    if (intFillCount >= MAX_ELEMENTS) {
        platform.MsgBox(MSG_FILLS_FULL, TITLE_QUILLET, MsgIcon::Exclamation, MsgButtons::OK);
        return;
    }
    if (intFillUndoDepth < 2) {
        intFillUndoDepth = static_cast<std::int16_t>(intFillUndoDepth + 1);
    }
    const int w = static_cast<int>(RoundPixel(picMain.ScaleWidth()));
    const int h = static_cast<int>(RoundPixel(picMain.ScaleHeight()));
    // The older snapshot is dropped: its buffer takes the canvas, the newer one moves up.
    picUndo2.Swap(picUndo1);
    picUndo1.BitBlt(picMain, w, h);

    intFillCount = static_cast<std::int16_t>(intFillCount + 1);
    arrFills.ReDimPreserve(intFillCount);
    arrFills[intFillCount] = {static_cast<std::int32_t>(current), dblMouseX, dblMouseY};
    UpdateCommands(CommandEvent::FillApplied);
    FloodFillAt(static_cast<std::int32_t>(current), dblMouseX, dblMouseY);
    Refresh();
    blnModified = true;
}

void frmMain::chkFill_Click() {
    CommitFillUndo();
    // Fill mode is locked while a polygon is built; its commands stay off until it is done.
    if (intClickPhase == 1 || intClickPhase == 2) {
        return;
    }
    UpdateCommands(ctl.chkFill == 1 ? CommandEvent::FillModeOn : CommandEvent::FillModeOff);
}

} // namespace quillet
