#include "geometry/render.h"

#include <cmath>

namespace quillet {

double RoundPixel(double v) {
    return std::nearbyint(v);
}

void DrawPoint(Surface& pic, double x, double y, std::int32_t colour) {
    pic.DrawMode = R2_COPYPEN;
    auto c = static_cast<Colour>(colour);
    pic.Ellipse(RoundPixel(x - 2), RoundPixel(y - 2), RoundPixel(x + 2), RoundPixel(y + 2), c, c);
}

void DrawLine(Surface& pic, double x1, double y1, double x2, double y2, int mode,
              std::int32_t colour) {
    pic.DrawMode = mode;
    pic.Line(RoundPixel(x1), RoundPixel(y1), RoundPixel(x2), RoundPixel(y2),
             static_cast<Colour>(colour));
}

void DrawSide(Surface& pic, double x1, double y1, double x2, double y2, int mode,
              std::int32_t colour) {
    DrawLine(pic, x1, y1, x2, y2, mode, colour);
    pic.Dot(RoundPixel(x2), RoundPixel(y2), static_cast<Colour>(colour));
}

bool RedrawAll(DrawingState& d, Surface& pic) {
    if (d.intClickPhase != 0 && d.intClickPhase != 3) {
        return false;
    }
    // Every stored point is drawn over, or the canvas cleared: no marker is left to erase.
    d.blnMarkShown = false;
    if (d.intLineCount < 1 || d.intPointCount < 1) {
        pic.Cls();
        return true; // the cleared image must reach the screen too
    }
    d.CommitFillUndo();
    for (int i = 1; i <= d.intLineCount; ++i) {
        const udtLine& l = d.arrLines[i];
        DrawSide(pic, l.X1, l.Y1, l.X2, l.Y2, R2_BLACK, COLOR_LINE);
    }
    for (int i = 1; i <= d.intPointCount; ++i) {
        DrawPoint(pic, d.arrPoints[i].X, d.arrPoints[i].Y, COLOR_POINT);
    }
    return true;
}

bool RedrawOnlyLines(DrawingState& d, Surface& pic) {
    if ((d.intClickPhase != 0 && d.intClickPhase != 3) || d.intLineCount < 1) {
        return false;
    }
    d.CommitFillUndo();
    d.KeepFills(0);
    // The snapshots hold fills that are no longer part of the drawing: an undo must not
    // bring them back on screen.
    d.intFillUndoDepth = 0;
    pic.Cls();
    d.blnMarkShown = false;
    for (int i = 1; i <= d.intLineCount; ++i) {
        const udtLine& l = d.arrLines[i];
        DrawSide(pic, l.X1, l.Y1, l.X2, l.Y2, R2_BLACK, COLOR_LINE);
    }
    return true;
}

bool RedrawOnlyPoints(DrawingState& d, Surface& pic) {
    if (d.intClickPhase != 3 || d.intPointCount < 1) {
        return false;
    }
    d.CommitFillUndo();
    pic.Cls();
    d.blnMarkShown = false;
    d.KeepFills(0);
    d.intFillUndoDepth = 0;
    for (int i = 1; i <= d.intPointCount; ++i) {
        DrawPoint(pic, d.arrPoints[i].X, d.arrPoints[i].Y, COLOR_POINT);
    }
    return true;
}

} // namespace quillet
