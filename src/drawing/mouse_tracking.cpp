// Mouse tracking: the pointer read-out, snapping to the nearest corner, the hover marker and
// the rubber band of the first side.
#include "app/main_window.h"
#include "geometry/render.h"

#include <cmath>

namespace quillet {

namespace {

std::string RoundedText(float v) {
    const double r = RoundPixel(static_cast<double>(v));
    if (!std::isfinite(r) || std::fabs(r) > 9.0e18) {
        return "0";
    }
    return std::to_string(static_cast<long long>(r));
}

} // namespace

void frmMain::picMain_MouseDown(int, int, float, float) {
    blnMouseDown = true;
}

void frmMain::picMain_MouseUp(int, int, float, float) {
    blnMouseDown = false;
}

void frmMain::picMain_MouseMove(int, int, float X, float Y) {
    const double x = X;
    const double y = Y;
    if (ctl.chkFill == 1) {
        dblMouseX = x;
        dblMouseY = y;
        return;
    }
    ctl.Label2 = "X: " + RoundedText(X) + "     Y: " + RoundedText(Y);

    if (intPointCount <= 1 || intClickPhase == 2) {
        dblMouseX = x;
        dblMouseY = y;
    } else {
        const int nearest = NearestPoint(x, y);
        dblMouseX = arrPoints[nearest].X;
        dblMouseY = arrPoints[nearest].Y;
    }

    if (dblMouseX == dblLastX && dblMouseY == dblLastY) {
        return;
    }
    dblLastX = dblMouseX;
    dblLastY = dblMouseY;

    if (blnMarkShown) {
        DrawPoint(picMain, dblMarkX, dblMarkY, COLOR_POINT);
        Refresh();
        blnMarkShown = false;
    }
    if (blnMouseDown) {
        if (intPointCount != 0 && intClickPhase != 2) {
            DrawPoint(picMain, dblMouseX, dblMouseY, COLOR_CHOSEN);
            dblMarkX = dblMouseX;
            dblMarkY = dblMouseY;
            Refresh();
            blnMarkShown = true;
        }
        if (blnRubberShown) {
            DrawLine(picMain, dblX1, dblY1, dblRubberX, dblRubberY, R2_XORPEN, COLOR_RUBBER);
            DrawPoint(picMain, dblX1, dblY1, COLOR_CHOSEN);
            blnRubberShown = false;
        }
        if (intClickPhase == 1 && intPointCount == 0) {
            DrawLine(picMain, dblX1, dblY1, dblMouseX, dblMouseY, R2_XORPEN, COLOR_RUBBER);
            dblRubberX = dblMouseX;
            dblRubberY = dblMouseY;
            blnRubberShown = true;
        }
    }
    Refresh();
}

} // namespace quillet
