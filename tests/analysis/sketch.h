#pragma once
// Drawings built as the window builds them: the first side stored as the first two clicks
// store it, every polygon made by the program's own construction, so that corners drift in
// their last bits exactly as they do for the user.

#include "geometry/polygon.h"
#include "project/project_format.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace quillet::testing {

// The point at `radius` from `centre` in the direction `degrees` (counter-clockwise as seen on
// the canvas, whose y runs down).
inline udtPoint Around(udtPoint centre, double radius, double degrees) {
    const double r = degrees * 3.14159265358979323846 / 180;
    return {centre.X + radius * std::cos(r), centre.Y - radius * std::sin(r)};
}

class Sketch {
  public:
    Sketch(udtPoint a, udtPoint b) {
        d_.OpenStep();
        d_.intPointCount = 2;
        d_.arrPoints.ReDim(2);
        d_.arrPoints[1] = a;
        d_.arrPoints[2] = b;
        d_.intLineCount = 1;
        d_.arrLines.ReDim(1);
        d_.arrLines[1] = {a.X, a.Y, b.X, b.Y};
    }

    // A polygon on the side between the stored points nearest to a and b, on the side of that
    // line away from `away`.
    Sketch& Polygon(udtPoint a, udtPoint b, int n, udtPoint away) {
        const udtPoint p = Nearest(a), q = Nearest(b);
        d_.OpenStep();
        d_.dblX1 = p.X;
        d_.dblY1 = p.Y;
        d_.dblX2 = q.X;
        d_.dblY2 = q.Y;
        const udtPoint mid{(p.X + q.X) / 2, (p.Y + q.Y) / 2};
        double nx = p.Y - q.Y, ny = q.X - p.X;
        if (nx * (away.X - mid.X) + ny * (away.Y - mid.Y) > 0) {
            nx = -nx;
            ny = -ny;
        }
        const double length = std::hypot(nx, ny);
        d_.dblMouseX = mid.X + 5 * nx / length;
        d_.dblMouseY = mid.Y + 5 * ny / length;
        EXPECT_TRUE(FindPolygonCentre(d_, pic_, static_cast<std::int16_t>(n)));
        return *this;
    }

    // The polygons round `centre`, each on the side shared with the one before, starting on
    // the side from centre towards `degrees` and going round counter-clockwise.
    Sketch& Fan(udtPoint centre, double side, double degrees, const std::vector<int>& ns) {
        double at = degrees;
        for (const int n : ns) {
            const double angle = 180.0 * (n - 2) / n;
            Polygon(centre, Around(centre, side, at), n, Around(centre, side / 2, at - 10));
            at += angle;
        }
        return *this;
    }

    udtPoint Nearest(udtPoint p) const {
        int best = 1;
        for (int i = 2; i <= d_.intPointCount; ++i) {
            if (std::hypot(d_.arrPoints[i].X - p.X, d_.arrPoints[i].Y - p.Y) <
                std::hypot(d_.arrPoints[best].X - p.X, d_.arrPoints[best].Y - p.Y)) {
                best = i;
            }
        }
        return d_.arrPoints[best];
    }

    ProjectData Data() const {
        ProjectData data;
        for (int i = 1; i <= d_.intPointCount; ++i) {
            data.points.push_back(d_.arrPoints[i]);
        }
        for (int i = 1; i <= d_.intLineCount; ++i) {
            data.lines.push_back(d_.arrLines[i]);
        }
        return data;
    }

  private:
    DrawingState d_;
    Surface pic_{581, 493};
};

// A hexagon with a square on each side and a triangle between each two squares.
inline ProjectData HexagonSquaresTriangles(udtPoint centre, double side) {
    auto corner = [&](int k) { return Around(centre, side, 60.0 * k); };
    Sketch s(corner(1), corner(2));
    s.Polygon(corner(1), corner(2), 6, Around(centre, 3 * side, 90));
    for (int k = 0; k < 6; ++k) {
        s.Polygon(corner(k), corner(k + 1), 4, centre);
    }
    for (int k = 0; k < 6; ++k) {
        // The square on side k reaches out from corner k along the normal of that side.
        const udtPoint outer = Around(corner(k), side, 60.0 * k + 30);
        s.Polygon(corner(k), outer, 3, Around(corner(k), side / 2, 60.0 * k + 60));
    }
    return s.Data();
}

} // namespace quillet::testing
