#include "geometry/polygon.h"

#include "geometry/render.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace quillet {

namespace {

void AppendItem(udtUndoStep& step, std::int16_t item) {
    step.Count = static_cast<std::int16_t>(step.Count + 1);
    step.Items.ReDimPreserve(step.Count);
    step.Items[step.Count] = item;
}

bool SameLine(const udtLine& l, double x1, double y1, double x2, double y2) {
    return (l.X1 == x1 && l.Y1 == y1 && l.X2 == x2 && l.Y2 == y2) ||
           (l.X1 == x2 && l.Y1 == y2 && l.X2 == x1 && l.Y2 == y1);
}

// What AddLine and AddPoint would append for the polygon's sides (side i from corner i to the
// next) and corners: those the drawing lacks, and that no earlier side or corner of the polygon
// repeats.
struct NewElements {
    std::vector<bool> sides;
    std::vector<bool> corners;
    int lines = 0;
    int points = 0;
};

NewElements FindNewElements(const DrawingState& d, const std::vector<udtPoint>& corners) {
    const std::size_t n = corners.size();
    NewElements fresh;
    fresh.sides.assign(n, false);
    fresh.corners.assign(n, false);
    for (std::size_t i = 0; i < n; ++i) {
        const udtPoint& a = corners[i];
        const udtPoint& b = corners[(i + 1) % n];
        bool seen = d.HoldsLine(a.X, a.Y, b.X, b.Y);
        for (std::size_t j = 0; j < i && !seen; ++j) {
            const udtPoint& p = corners[j];
            const udtPoint& q = corners[(j + 1) % n];
            seen = SameLine({p.X, p.Y, q.X, q.Y}, a.X, a.Y, b.X, b.Y);
        }
        fresh.sides[i] = !seen;
        fresh.lines += seen ? 0 : 1;
        bool known = d.HoldsPoint(a.X, a.Y);
        for (std::size_t j = 0; j < i && !known; ++j) {
            known = corners[j] == a;
        }
        fresh.corners[i] = !known;
        fresh.points += known ? 0 : 1;
    }
    return fresh;
}

std::vector<udtPoint> Corners(const DrawingState& d, udtPoint centre, std::int16_t n,
                              bool blnCentreBelow);
bool StoreCorners(DrawingState& d, Surface& pic, const std::vector<udtPoint>& corners);

// (p2 - p1) x (click - p1) in canvas coordinates: which side of the line through p1 and p2
// the click lies on, by its sign.
double Cross(udtPoint p1, udtPoint p2, udtPoint click) {
    return (p2.X - p1.X) * (click.Y - p1.Y) - (p2.Y - p1.Y) * (click.X - p1.X);
}

// The side as a sign; 0 on the line.
int ClickSide(udtPoint p1, udtPoint p2, udtPoint click) {
    const double cross = Cross(p1, p2, click);
    return (cross > 0) - (cross < 0);
}

// The polygon with n corners on the side p1-p2 whose centre lies at distance `apothem` on the
// given side of it (0: where a click on the line puts it), corners counter-clockwise on the
// screen from the chosen points. Vectors instead of slopes: it holds for every direction of
// the side, also one that is vertical or horizontal but for the last bits.
std::vector<udtPoint> ReferenceCorners(udtPoint p1, udtPoint p2, int n, double apothem, int side) {
    const double dx = p2.X - p1.X;
    const double dy = p2.Y - p1.Y;
    if (side == 0) { // right of a vertical side, above a horizontal one, else below
        side = dx == 0 ? (dy < 0 ? 1 : -1) : dy == 0 ? (dx < 0 ? 1 : -1) : (dx > 0 ? 1 : -1);
    }
    const double s = std::sqrt(dx * dx + dy * dy);
    const udtPoint c{(p1.X + p2.X) / 2 - side * apothem * dy / s,
                     (p1.Y + p2.Y) / 2 + side * apothem * dx / s};
    // Counter-clockwise as seen, with y growing downwards, turns the cross product negative.
    if ((p1.X - c.X) * (p2.Y - c.Y) - (p1.Y - c.Y) * (p2.X - c.X) > 0) {
        std::swap(p1, p2);
    }
    const double r = std::hypot(p1.X - c.X, p1.Y - c.Y);
    const double start = std::atan2(c.Y - p2.Y, p2.X - c.X);
    std::vector<udtPoint> corners{p1, p2};
    for (int k = 3; k <= n; ++k) {
        const double theta = start + (k - 2) * (2 * std::numbers::pi / n);
        corners.push_back({std::cos(theta) * r + c.X, c.Y - std::sin(theta) * r});
    }
    return corners;
}

bool SameCorners(const std::vector<udtPoint>& a, const std::vector<udtPoint>& b, double tolerance) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!(std::fabs(a[i].X - b[i].X) <= tolerance && std::fabs(a[i].Y - b[i].Y) <= tolerance)) {
            return false;
        }
    }
    return true;
}

// Whether the construction's corners are the regular polygon on the clicked side. Slopes of
// sides within a few bits of vertical or horizontal lose every digit and can order the
// corners wrongly (a crossed polygon) or choose the other side; everywhere else they agree
// with the reference to far better than the tolerance, and the corners stay as computed.
bool Fits(const std::vector<udtPoint>& corners, udtPoint p1, udtPoint p2, udtPoint click,
          double apothem) {
    const int n = static_cast<int>(corners.size());
    const double s = std::hypot(p2.X - p1.X, p2.Y - p1.Y);
    const double scale =
        1 + std::max({std::fabs(p1.X), std::fabs(p1.Y), std::fabs(p2.X), std::fabs(p2.Y)});
    const double tolerance = 1e-6 * s + 1e-9 * scale;
    const int side = ClickSide(p1, p2, click);
    const std::vector<udtPoint> reference = ReferenceCorners(p1, p2, n, apothem, side);
    if (SameCorners(corners, reference, tolerance)) {
        return true;
    }
    for (const udtPoint& p : reference) {
        if (!std::isfinite(p.X) || !std::isfinite(p.Y)) {
            return true; // nothing better to offer
        }
    }
    // A click on the line as far as the digits tell may have the polygon on either side.
    const double cross = Cross(p1, p2, click);
    const double reach = std::max({scale, 1 + std::fabs(click.X), 1 + std::fabs(click.Y)});
    return std::fabs(cross) <= 1e-9 * s * reach &&
           SameCorners(corners, ReferenceCorners(p1, p2, n, apothem, -side), tolerance);
}

void AppendPoint(DrawingState& d, double x, double y) {
    d.intPointCount = static_cast<std::int16_t>(d.intPointCount + 1);
    d.arrPoints.ReDimPreserve(d.intPointCount);
    d.arrPoints[d.intPointCount] = {x, y};
    AppendItem(d.arrStepPoints[d.intUndoSteps], d.intPointCount);
}

void AppendLine(DrawingState& d, Surface& pic, double x1, double y1, double x2, double y2,
                std::int32_t colour) {
    d.intLineCount = static_cast<std::int16_t>(d.intLineCount + 1);
    d.arrLines.ReDimPreserve(d.intLineCount);
    d.arrLines[d.intLineCount] = {x1, y1, x2, y2};
    AppendItem(d.arrStepLines[d.intUndoSteps], d.intLineCount);
    DrawSide(pic, x1, y1, x2, y2, R2_COPYPEN, colour);
}

} // namespace

bool FindPolygonCentre(DrawingState& d, Surface& pic, std::int16_t n) {
    if (d.dblX1 > d.dblX2) {
        d.SwapChosenPoints();
    }
    d.intNumCorners = n;
    const double X1 = d.dblX1, Y1 = d.dblY1, X2 = d.dblX2, Y2 = d.dblY2;
    const double Xc = d.dblMouseX, Yc = d.dblMouseY;
    const double s = std::sqrt((X2 - X1) * (X2 - X1) + (Y2 - Y1) * (Y2 - Y1));
    const auto twoN = static_cast<std::int16_t>(2 * n);
    const double a = (s / 2) * std::tan(((n - 2) * PI_APPROX) / twoN);
    const double Mx = (X2 + X1) / 2;
    const double My = (Y2 + Y1) / 2;
    const double dx = X2 - X1;
    const double dy = Y2 - Y1;
    udtPoint centre;
    bool blnCentreBelow = false;
    if (dx == 0) {
        centre = Xc < X1 ? udtPoint{Mx - a, My} : udtPoint{Mx + a, My};
    } else if (dy == 0) {
        if (Yc > Y1) {
            centre = {Mx, My + a};
            blnCentreBelow = true;
        } else {
            centre = {Mx, My - a};
        }
    } else {
        const double m = dy / dx;
        const double b = Y1 - m * X1;
        const double yLine = m * Xc + b;
        const double q = 1 / m;
        double theta = 0;
        if (Yc < yLine) {
            theta = q > 0 ? std::atan(q) : std::atan(q) + PI_APPROX;
        } else {
            blnCentreBelow = true;
            theta = q < 0 ? std::atan(q) : std::atan(q) + PI_APPROX;
        }
        centre = {std::cos(theta) * a + Mx, My - std::sin(theta) * a};
    }
    const udtPoint p1{X1, Y1};
    const udtPoint p2{X2, Y2};
    OrderChosenPoints(d, centre);
    std::vector<udtPoint> corners = Corners(d, centre, d.intNumCorners, blnCentreBelow);
    if (!Fits(corners, p1, p2, {Xc, Yc}, a)) {
        corners = ReferenceCorners(p1, p2, d.intNumCorners, a, ClickSide(p1, p2, {Xc, Yc}));
        d.dblX1 = corners[0].X;
        d.dblY1 = corners[0].Y;
        d.dblX2 = corners[1].X;
        d.dblY2 = corners[1].Y;
    }
    return StoreCorners(d, pic, corners);
}

void OrderChosenPoints(DrawingState& d, udtPoint centre) {
    const double cx = centre.X, cy = centre.Y;
    const double X1 = d.dblX1, Y1 = d.dblY1, X2 = d.dblX2, Y2 = d.dblY2;
    const double Mx = (X2 + X1) / 2;
    const double My = (Y2 + Y1) / 2;
    bool swap = false;
    if (X1 == X2) {
        swap = X1 > cx ? Y2 > Y1 : Y2 < Y1;
    } else if (Y1 == Y2) {
        swap = Y1 > cy ? X2 < X1 : X2 > X1;
    } else if (Mx > cx && My < cy) {
        swap = Y2 > Y1;
    } else if (Mx < cx && My < cy) {
        swap = Y2 < Y1;
    } else if (Mx < cx && My > cy) {
        swap = Y2 < Y1;
    } else if (Mx > cx && My > cy) {
        swap = Y2 > Y1;
    }
    if (swap) {
        d.SwapChosenPoints();
    }
}

bool BuildPolygon(DrawingState& d, Surface& pic, udtPoint centre, std::int16_t n,
                  bool blnCentreBelow) {
    OrderChosenPoints(d, centre);
    return StoreCorners(d, pic, Corners(d, centre, n, blnCentreBelow));
}

namespace {

std::vector<udtPoint> Corners(const DrawingState& d, udtPoint centre, std::int16_t n,
                              bool blnCentreBelow) {
    const double X1 = d.dblX1, Y1 = d.dblY1, X2 = d.dblX2, Y2 = d.dblY2;
    const double cx = centre.X, cy = centre.Y;
    List1<udtPoint> arrCorners;
    arrCorners.ReDim(n);
    arrCorners[1] = {X1, Y1};
    arrCorners[2] = {X2, Y2};
    const double r = std::sqrt((X1 - cx) * (X1 - cx) + (Y1 - cy) * (Y1 - cy));
    const auto twoN = static_cast<std::int16_t>(2 * n);
    const double H = ((n - 2) * PI_APPROX) / twoN;
    double theta = 0;
    if (X1 == X2) {
        theta = X1 > cx ? PI_APPROX / n : PI_APPROX / n + PI_APPROX;
    } else if (Y1 == Y2) {
        theta = !blnCentreBelow ? ((2 - n) * PI_APPROX) / twoN : PI_APPROX - H;
    } else {
        const double A = std::atan(-(Y2 - Y1) / (X2 - X1));
        if (!blnCentreBelow) {
            theta = (-PI_APPROX) / 2 + (TWO_PI_APPROX / n - (PI_APPROX / 2 - (H + A)));
        } else {
            theta = (A - H) + PI_APPROX;
        }
    }
    for (int k = 3; k <= n; ++k) {
        theta = TWO_PI_APPROX / n + theta;
        arrCorners[k] = {std::cos(theta) * r + cx, cy - std::sin(theta) * r};
    }

    std::vector<udtPoint> corners;
    for (int i = 1; i <= n; ++i) {
        corners.push_back(arrCorners[i]);
    }
    return corners;
}

bool StoreCorners(DrawingState& d, Surface& pic, const std::vector<udtPoint>& corners) {
    // The drawing is searched once: what is found new here is appended without a second look.
    const NewElements fresh = FindNewElements(d, corners);
    if (d.intLineCount + fresh.lines > MAX_ELEMENTS ||
        d.intPointCount + fresh.points > MAX_ELEMENTS) {
        return false;
    }

    const std::size_t count = corners.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (fresh.sides[i]) {
            const udtPoint& a = corners[i];
            const udtPoint& b = corners[(i + 1) % count];
            AppendLine(d, pic, a.X, a.Y, b.X, b.Y, COLOR_LINE);
        }
    }
    for (std::size_t i = 0; i < count; ++i) {
        if (fresh.corners[i]) {
            AppendPoint(d, corners[i].X, corners[i].Y);
        }
        DrawPoint(pic, corners[i].X, corners[i].Y, COLOR_POINT);
    }
    return true;
}

} // namespace

void AddPoint(DrawingState& d, double x, double y) {
    if (!d.HoldsPoint(x, y)) {
        AppendPoint(d, x, y);
    }
}

void AddLine(DrawingState& d, Surface& pic, double x1, double y1, double x2, double y2,
             std::int32_t colour, bool blnStored) {
    if (!blnStored) {
        if (!d.HoldsLine(x1, y1, x2, y2)) {
            AppendLine(d, pic, x1, y1, x2, y2, colour);
        }
        return;
    }
    // Stored lines are those of a drawing being loaded, whose lists are complete by now: the
    // duplicate index is built with the first of them, in the load, rather than in the first
    // polygon's click.
    if (d.arrStepLines[d.intUndoSteps].Count == 0) {
        d.HoldsLine(x1, y1, x2, y2);
        d.HoldsPoint(x1, y1);
    }
    AppendItem(d.arrStepLines[d.intUndoSteps], d.intLineCount);
    DrawSide(pic, x1, y1, x2, y2, R2_COPYPEN, colour);
}

} // namespace quillet
