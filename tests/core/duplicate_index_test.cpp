// The duplicate index against the scans it replaces: every answer the same as a scan's, and
// every polygon built the same as by the construction as it was before, lists, step records
// and pixels alike.
#include "drawing/drawing_state.h"
#include "geometry/polygon.h"
#include "geometry/render.h"
#include "platform/surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

namespace quillet {
namespace {

// ---------------------------------------------------------------------------------------------
// The reference: the construction as it was, with its scans, unchanged but for its namespace
// (its calls of its own functions named with it, since the program has the same names).
namespace before {

bool FindPolygonCentre(DrawingState& d, Surface& pic, std::int16_t n);
bool BuildPolygon(DrawingState& d, Surface& pic, udtPoint centre, std::int16_t n,
                  bool blnCentreBelow);
void OrderChosenPoints(DrawingState& d, udtPoint centre);
void AddPoint(DrawingState& d, double x, double y);
void AddLine(DrawingState& d, Surface& pic, double x1, double y1, double x2, double y2,
             std::int32_t colour, bool blnStored);

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

bool HasPoint(const DrawingState& d, double x, double y) {
    for (int i = 1; i <= d.intPointCount; ++i) {
        if (d.arrPoints[i].X == x && d.arrPoints[i].Y == y) {
            return true;
        }
    }
    return false;
}

bool HasLine(const DrawingState& d, double x1, double y1, double x2, double y2) {
    for (int i = 1; i <= d.intLineCount; ++i) {
        if (SameLine(d.arrLines[i], x1, y1, x2, y2)) {
            return true;
        }
    }
    return false;
}

// How many of the polygon's sides and corners AddLine and AddPoint would append.
bool FitsInDrawing(const DrawingState& d, const std::vector<udtPoint>& corners) {
    const std::size_t n = corners.size();
    int newLines = 0;
    int newPoints = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const udtPoint& a = corners[i];
        const udtPoint& b = corners[(i + 1) % n];
        bool seen = HasLine(d, a.X, a.Y, b.X, b.Y);
        for (std::size_t j = 0; j < i && !seen; ++j) {
            const udtPoint& p = corners[j];
            const udtPoint& q = corners[(j + 1) % n];
            seen = SameLine({p.X, p.Y, q.X, q.Y}, a.X, a.Y, b.X, b.Y);
        }
        newLines += seen ? 0 : 1;
        bool known = HasPoint(d, a.X, a.Y);
        for (std::size_t j = 0; j < i && !known; ++j) {
            known = corners[j] == a;
        }
        newPoints += known ? 0 : 1;
    }
    return d.intLineCount + newLines <= MAX_ELEMENTS && d.intPointCount + newPoints <= MAX_ELEMENTS;
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
    return before::BuildPolygon(d, pic, centre, d.intNumCorners, blnCentreBelow);
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
    before::OrderChosenPoints(d, centre);
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
    if (!FitsInDrawing(d, corners)) {
        return false;
    }

    for (int i = 1; i <= n - 1; ++i) {
        before::AddLine(d, pic, arrCorners[i].X, arrCorners[i].Y, arrCorners[i + 1].X,
                        arrCorners[i + 1].Y, COLOR_LINE, false);
    }
    before::AddLine(d, pic, arrCorners[n].X, arrCorners[n].Y, arrCorners[1].X, arrCorners[1].Y,
                    COLOR_LINE, false);
    for (int i = 1; i <= n; ++i) {
        before::AddPoint(d, arrCorners[i].X, arrCorners[i].Y);
        DrawPoint(pic, arrCorners[i].X, arrCorners[i].Y, COLOR_POINT);
    }
    return true;
}

void AddPoint(DrawingState& d, double x, double y) {
    if (HasPoint(d, x, y)) {
        return;
    }
    d.intPointCount = static_cast<std::int16_t>(d.intPointCount + 1);
    d.arrPoints.ReDimPreserve(d.intPointCount);
    d.arrPoints[d.intPointCount] = {x, y};
    AppendItem(d.arrStepPoints[d.intUndoSteps], d.intPointCount);
}

void AddLine(DrawingState& d, Surface& pic, double x1, double y1, double x2, double y2,
             std::int32_t colour, bool blnStored) {
    if (!blnStored) {
        if (HasLine(d, x1, y1, x2, y2)) {
            return;
        }
        d.intLineCount = static_cast<std::int16_t>(d.intLineCount + 1);
        d.arrLines.ReDimPreserve(d.intLineCount);
        d.arrLines[d.intLineCount] = {x1, y1, x2, y2};
    }
    AppendItem(d.arrStepLines[d.intUndoSteps], d.intLineCount);
    DrawLine(pic, x1, y1, x2, y2, R2_COPYPEN, colour);
}

} // namespace before

// ---------------------------------------------------------------------------------------------

bool ScanHasPoint(const DrawingState& d, double x, double y) {
    for (int i = 1; i <= d.intPointCount; ++i) {
        if (d.arrPoints[i].X == x && d.arrPoints[i].Y == y) {
            return true;
        }
    }
    return false;
}

bool ScanHasLine(const DrawingState& d, double x1, double y1, double x2, double y2) {
    for (int i = 1; i <= d.intLineCount; ++i) {
        const udtLine& l = d.arrLines[i];
        if ((l.X1 == x1 && l.Y1 == y1 && l.X2 == x2 && l.Y2 == y2) ||
            (l.X1 == x2 && l.Y1 == y2 && l.X2 == x1 && l.Y2 == y1)) {
            return true;
        }
    }
    return false;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// The pointer's snapping as it was: a scan from the first corner.
int ScanNearestPoint(const DrawingState& d, double x, double y) {
    int nearest = 1;
    double best = std::sqrt((x - d.arrPoints[1].X) * (x - d.arrPoints[1].X) +
                            (y - d.arrPoints[1].Y) * (y - d.arrPoints[1].Y));
    for (int i = 2; i <= d.intPointCount; ++i) {
        const double dist = std::sqrt((x - d.arrPoints[i].X) * (x - d.arrPoints[i].X) +
                                      (y - d.arrPoints[i].Y) * (y - d.arrPoints[i].Y));
        if (dist < best) {
            best = dist;
            nearest = i;
        }
    }
    return nearest;
}

// Few values, so that exact repeats are common: both zeros, NaN, neighbours one bit apart.
class ValuePool {
  public:
    explicit ValuePool(std::uint32_t seed) : rng_(seed) {}

    double Value() {
        static const std::vector<double> values = {0.0,
                                                   -0.0,
                                                   kNaN,
                                                   1.0,
                                                   std::nextafter(1.0, 2.0),
                                                   -1.0,
                                                   100.0,
                                                   13.397459621556138,
                                                   std::nextafter(13.397459621556138, 0.0),
                                                   1e-300,
                                                   -1e-300,
                                                   581.0};
        return values[Below(values.size())];
    }
    std::size_t Below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }

  private:
    std::mt19937 rng_;
};

// Every question of a scan asked of the index too, over all pairs of pool values.
void ExpectSameAnswers(const DrawingState& d) {
    static const std::vector<double> probe = {
        0.0, -0.0, kNaN, 1.0, std::nextafter(1.0, 2.0), 100.0, 13.397459621556138, 1e-300, -1e-300};
    for (double x : probe) {
        for (double y : probe) {
            ASSERT_EQ(d.HoldsPoint(x, y), ScanHasPoint(d, x, y)) << x << " " << y;
        }
    }
    if (d.intPointCount >= 2) {
        for (double x : {0.0, -0.0, 7.5, 100.0, 581.0, -1e6, 1e300, kInf, kNaN}) {
            for (double y : {0.0, 1.0, 13.4, -40.0, 1e-300, 5e-324}) {
                ASSERT_EQ(d.NearestPoint(x, y), ScanNearestPoint(d, x, y)) << x << " " << y;
            }
        }
    }
    for (double x1 : probe) {
        for (double y1 : {0.0, -0.0, 1.0, kNaN}) {
            for (double x2 : probe) {
                for (double y2 : {-0.0, 1.0, 100.0}) {
                    ASSERT_EQ(d.HoldsLine(x1, y1, x2, y2), ScanHasLine(d, x1, y1, x2, y2));
                    ASSERT_EQ(d.HoldsLine(x2, y2, x1, y1), ScanHasLine(d, x2, y2, x1, y1));
                }
            }
        }
    }
}

// Points and lines added, cut back as undo does, dropped by count as New does, replaced as a
// load does, restored from a copy as a cancelled load does, and cut and grown again unasked; after
// each, the index answers as the scan does, and AddPoint and AddLine append exactly what the scan
// lets through.
TEST(DuplicateIndex, AnswersAsTheScanThroughEveryChangeOfTheLists) {
    ValuePool pool(5);
    DrawingState d;
    Surface pic(64, 64);
    d.OpenStep();
    DrawingState saved = d;
    for (int round = 0; round < 3000; ++round) {
        switch (pool.Below(12)) {
        case 0: { // undo: back to an earlier count
            const int m =
                static_cast<int>(pool.Below(static_cast<std::size_t>(d.intPointCount) + 1));
            d.intPointCount = static_cast<std::int16_t>(m);
            d.arrPoints.ReDimPreserve(m);
            const int n =
                static_cast<int>(pool.Below(static_cast<std::size_t>(d.intLineCount) + 1));
            d.intLineCount = static_cast<std::int16_t>(n);
            d.arrLines.ReDimPreserve(n);
            break;
        }
        case 1: // New: the counts dropped, the entries left behind
            d.intPointCount = 0;
            if (pool.Below(2) == 0) {
                d.intLineCount = 0;
            }
            break;
        case 2: { // a load: everything replaced
            const int m = static_cast<int>(pool.Below(40));
            d.intPointCount = static_cast<std::int16_t>(m);
            d.arrPoints.ReDim(m);
            for (int i = 1; i <= m; ++i) {
                d.arrPoints[i] = {pool.Value(), pool.Value()};
            }
            const int n = static_cast<int>(pool.Below(40));
            d.intLineCount = static_cast<std::int16_t>(n);
            d.arrLines.ReDim(n);
            for (int i = 1; i <= n; ++i) {
                d.arrLines[i] = {pool.Value(), pool.Value(), pool.Value(), pool.Value()};
            }
            break;
        }
        case 3:
            saved = d;
            break;
        case 5: { // cut back and grown again with other entries, without a question between
            const int m =
                static_cast<int>(pool.Below(static_cast<std::size_t>(d.intPointCount) + 1));
            const int grown = m + static_cast<int>(pool.Below(5));
            d.arrPoints.ReDimPreserve(m);
            d.arrPoints.ReDimPreserve(grown);
            for (int i = m + 1; i <= grown; ++i) {
                d.arrPoints[i] = {pool.Value(), pool.Value()};
            }
            d.intPointCount = static_cast<std::int16_t>(grown);
            const int n =
                static_cast<int>(pool.Below(static_cast<std::size_t>(d.intLineCount) + 1));
            const int longer = n + static_cast<int>(pool.Below(5));
            d.arrLines.ReDimPreserve(n);
            d.arrLines.ReDimPreserve(longer);
            for (int i = n + 1; i <= longer; ++i) {
                d.arrLines[i] = {pool.Value(), pool.Value(), pool.Value(), pool.Value()};
            }
            d.intLineCount = static_cast<std::int16_t>(longer);
            break;
        }
        case 4: // a cancelled load
            d = saved;
            break;
        default: {
            const double x = pool.Value(), y = pool.Value();
            const double x2 = pool.Value(), y2 = pool.Value();
            const bool newPoint = !ScanHasPoint(d, x, y);
            const bool newLine = !ScanHasLine(d, x, y, x2, y2);
            const int points = d.intPointCount, lines = d.intLineCount;
            AddPoint(d, x, y);
            AddLine(d, pic, x, y, x2, y2, COLOR_LINE, false);
            ASSERT_EQ(d.intPointCount, points + (newPoint ? 1 : 0));
            ASSERT_EQ(d.intLineCount, lines + (newLine ? 1 : 0));
            break;
        }
        }
        ExpectSameAnswers(d);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
}

// Drawings of many corners as they are drawn: on a lattice, so that the pointer is often
// equally near two or four of them, with repeats, far-off and non-finite corners and corners
// dropped and added between the questions; every answer as the scan's.
TEST(DuplicateIndex, FindsTheNearestCornerAsTheScan) {
    std::mt19937 rng(11);
    auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    auto lattice = [&](int cells) { return below(cells) * 4.0 + (below(8) == 0 ? 0.5 : 0.0); };
    const double odd[] = {kNaN, kInf, -kInf, 1e300, -3e7, 5e-324, -0.0, 16.0, 1e-301};
    DrawingState d;
    for (int round = 0; round < 400; ++round) {
        const int kind = below(4);
        if (kind == 0 || d.intPointCount < 2) { // a new drawing
            const int n = 2 + below(3000);
            d.arrPoints.ReDim(n);
            for (int i = 1; i <= n; ++i) {
                d.arrPoints[i] = {lattice(150), lattice(125)};
            }
            d.intPointCount = static_cast<std::int16_t>(n);
        } else if (kind == 1) { // undo: fewer corners
            const int n = 2 + below(d.intPointCount - 1);
            d.arrPoints.ReDimPreserve(n);
            d.intPointCount = static_cast<std::int16_t>(n);
        } else { // a polygon's corners, now and then an odd one
            const int from = d.intPointCount;
            const int n = from + 1 + below(50);
            d.arrPoints.ReDimPreserve(n);
            for (int i = from + 1; i <= n; ++i) {
                d.arrPoints[i] = {lattice(150), lattice(125)};
                if (below(20) == 0) {
                    (below(2) == 0 ? d.arrPoints[i].X : d.arrPoints[i].Y) = odd[below(9)];
                }
            }
            d.intPointCount = static_cast<std::int16_t>(n);
        }
        for (int q = 0; q < 50; ++q) {
            // Pointer positions are whole pixels, on the canvas or, with a button held, off it.
            const double x = below(700) - 60;
            const double y = below(600) - 60;
            ASSERT_EQ(d.NearestPoint(x, y), ScanNearestPoint(d, x, y))
                << "round " << round << " at " << x << ", " << y;
        }
    }
}

// A drawing as the construction leaves it: a first side stored and a step record open.
struct Drawing {
    DrawingState d;
    Surface pic{581, 493};
};

void Seed(Drawing& w, udtPoint a, udtPoint b) {
    DrawingState& d = w.d;
    d.OpenStep();
    d.intPointCount = 2;
    d.arrPoints.ReDim(2);
    d.arrPoints[1] = a;
    d.arrPoints[2] = b;
    d.intLineCount = 1;
    d.arrLines.ReDim(1);
    d.arrLines[1] = {a.X, a.Y, b.X, b.Y};
    udtUndoStep& lines = d.arrStepLines[d.intUndoSteps];
    lines.Count = 1;
    lines.Items.ReDim(1);
    lines.Items[1] = 1;
    udtUndoStep& points = d.arrStepPoints[d.intUndoSteps];
    points.Count = 2;
    points.Items.ReDim(2);
    points.Items[1] = 1;
    points.Items[2] = 2;
}

// The newest step taken back as undo takes it, without the repaint; the first side stays.
void UndoStep(DrawingState& d) {
    const int k = d.intUndoSteps;
    if (k <= 1) {
        return;
    }
    if (d.arrStepLines[k].Count > 0) {
        const int n = d.arrStepLines[k].Items[1] - 1;
        d.intLineCount = static_cast<std::int16_t>(n);
        d.arrLines.ReDimPreserve(n);
    }
    if (d.arrStepPoints[k].Count > 0) {
        const int m = d.arrStepPoints[k].Items[1] - 1;
        d.intPointCount = static_cast<std::int16_t>(m);
        d.arrPoints.ReDimPreserve(m);
    }
    d.KeepSteps(k - 1);
}

// One polygon on the side between two stored points, built by the new construction and by the
// old one; a refused polygon's empty step is dropped as the canvas click drops it.
bool Build(Drawing& now, Drawing& old, int p, int q, double sideX, double sideY, int n) {
    bool built[2] = {};
    Drawing* both[2] = {&now, &old};
    for (int k = 0; k < 2; ++k) {
        DrawingState& d = both[k]->d;
        d.dblX1 = d.arrPoints[p].X;
        d.dblY1 = d.arrPoints[p].Y;
        d.dblX2 = d.arrPoints[q].X;
        d.dblY2 = d.arrPoints[q].Y;
        d.dblMouseX = sideX;
        d.dblMouseY = sideY;
        d.OpenStep();
        const auto corners = static_cast<std::int16_t>(n);
        built[k] = k == 0 ? FindPolygonCentre(d, both[k]->pic, corners)
                          : before::FindPolygonCentre(d, both[k]->pic, corners);
        if (!built[k] && d.arrStepLines[d.intUndoSteps].Count == 0 &&
            d.arrStepPoints[d.intUndoSteps].Count == 0) {
            d.KeepSteps(d.intUndoSteps - 1);
        }
    }
    EXPECT_EQ(built[0], built[1]);
    return built[0];
}

void ExpectSameDrawing(const Drawing& now, const Drawing& old) {
    ASSERT_EQ(now.d.intPointCount, old.d.intPointCount);
    ASSERT_EQ(now.d.intLineCount, old.d.intLineCount);
    ASSERT_TRUE(now.d == old.d);
    ASSERT_TRUE(now.pic.Pixels() == old.pic.Pixels());
}

// Polygons on sides between stored corners, many of them on sides already built on from
// either side, some repeated outright, with undos between.
TEST(DuplicateIndex, PolygonsAreBuiltAsBefore) {
    std::mt19937 rng(11);
    const auto below = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    for (int drawing = 0; drawing < 6; ++drawing) {
        Drawing now, old;
        const udtPoint a{250.0 + below(40), 250.0}, b{a.X + 20 + below(30), 250.0};
        Seed(now, a, b);
        Seed(old, a, b);
        int built = 0;
        for (int round = 0; round < 150; ++round) {
            if (below(10) == 0) {
                UndoStep(now.d);
                UndoStep(old.d);
            } else if (now.d.intPointCount >= 2) {
                const int p = 1 + below(now.d.intPointCount);
                int q = 1 + below(now.d.intPointCount);
                if (now.d.arrPoints[p] == now.d.arrPoints[q]) {
                    continue;
                }
                const udtPoint mid{(now.d.arrPoints[p].X + now.d.arrPoints[q].X) / 2,
                                   (now.d.arrPoints[p].Y + now.d.arrPoints[q].Y) / 2};
                const double side = below(2) == 0 ? -3 : 3;
                const int corners = below(8) == 0 ? 50 : 3 + below(6);
                built += Build(now, old, p, q, mid.X + side, mid.Y + side / 2, corners) ? 1 : 0;
                if (below(4) == 0) { // the same again: nothing of it is new
                    Build(now, old, p, q, mid.X + side, mid.Y + side / 2, corners);
                }
            }
            ExpectSameDrawing(now, old);
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
        }
        EXPECT_GT(built, 50);
    }
}

// Near the limit the count of new corners and sides decides whether a polygon is refused: the
// ones that repeat stored sides and corners must be counted as the scan counted them.
TEST(DuplicateIndex, PolygonsAtTheLimitAreRefusedAsBefore) {
    std::mt19937 rng(12);
    const auto below = [&rng](int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); };
    Drawing now, old;
    Seed(now, {300, 250}, {330, 250});
    Seed(old, {300, 250}, {330, 250});
    // Filler far off the canvas, up to a few short of the limit.
    for (Drawing* w : {&now, &old}) {
        DrawingState& d = w->d;
        const int points = MAX_ELEMENTS - 6, lines = MAX_ELEMENTS - 5;
        d.arrPoints.ReDimPreserve(points);
        d.arrLines.ReDimPreserve(lines);
        for (int i = 3; i <= points; ++i) {
            d.arrPoints[i] = {-1000.0 - i, -1000.0};
        }
        for (int i = 2; i <= lines; ++i) {
            d.arrLines[i] = {-1000.0 - i, -1000.0, -1000.0 - i, -2000.0};
        }
        d.intPointCount = static_cast<std::int16_t>(points);
        d.intLineCount = static_cast<std::int16_t>(lines);
    }
    int refused = 0, built = 0;
    for (int round = 0; round < 40; ++round) {
        if (below(3) == 0) {
            UndoStep(now.d);
            UndoStep(old.d);
        } else {
            // Corners on the canvas only, so the sides start at stored ones.
            std::vector<int> onCanvas;
            for (int i = 1; i <= now.d.intPointCount; ++i) {
                if (now.d.arrPoints[i].X > 0) {
                    onCanvas.push_back(i);
                }
            }
            const int p =
                onCanvas[static_cast<std::size_t>(below(static_cast<int>(onCanvas.size())))];
            const int q =
                onCanvas[static_cast<std::size_t>(below(static_cast<int>(onCanvas.size())))];
            if (now.d.arrPoints[p] == now.d.arrPoints[q]) {
                continue;
            }
            const double side = below(2) == 0 ? -3 : 3;
            const udtPoint mid{(now.d.arrPoints[p].X + now.d.arrPoints[q].X) / 2,
                               (now.d.arrPoints[p].Y + now.d.arrPoints[q].Y) / 2};
            const bool ok = Build(now, old, p, q, mid.X + side, mid.Y + side / 2, 3 + below(5));
            (ok ? built : refused) += 1;
        }
        ExpectSameDrawing(now, old);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
    EXPECT_GT(built, 3);
    EXPECT_GT(refused, 3);
}

} // namespace
} // namespace quillet
