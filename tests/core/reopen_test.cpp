// A coloured drawing comes back as it was drawn: fills stay inside the polygons they were made
// in wherever the lines are drawn without corner dots (a reopened file, lines only), every
// polygon is regular whatever the direction of its side, and polygon undo keeps the fills it
// does not affect.
#include "geometry/polygon.h"
#include "geometry/render.h"
#include "project/project_file.h"
#include "project/project_format.h"
#include "scripted_platform.h"
#include "temp_dir.h"
#include "tiling_patch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <functional>
#include <numbers>

namespace quillet {
namespace {

using testing::Form;
using testing::TempDir;

constexpr int W = 581, H = 493;
constexpr int TEAL_SWATCH = 3;
constexpr Colour TEAL = RGB(0, 128, 128);

// The file written as Save as writes it (without its disk syncs, which cost the test most of
// its time), then opened.
std::string SaveAndReopen(Form& live, Form& reopened, const std::string& path) {
    std::ofstream(path, std::ios::binary)
        << WriteProject(CollectProject(live.form), live.platform.decimalSeparator);
    reopened.platform.messages.clear();
    reopened.form.LoadProject(path);
    return reopened.platform.messages.empty() ? "" : reopened.platform.messages[0].text;
}

void FillAt(Form& f, int swatch, double x, double y) {
    f.form.SetFillValue(1);
    f.form.picSelColor_Click(swatch);
    f.form.picMain_MouseMove(0, 0, static_cast<float>(x), static_cast<float>(y));
    f.form.picMain_Click();
    f.form.SetFillValue(0);
}

double SegmentDistance(udtPoint p, const udtLine& l) {
    const double dx = l.X2 - l.X1, dy = l.Y2 - l.Y1;
    double t = ((p.X - l.X1) * dx + (p.Y - l.Y1) * dy) / (dx * dx + dy * dy);
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(l.X1 + t * dx - p.X, l.Y1 + t * dy - p.Y);
}

// Pixels of the colour lie inside the drawing's one polygon or within a pixel and a half of
// its outline, and every pixel deeper inside has it. Returns the first pixel that breaks this.
std::string FillStaysInside(const frmMain& form, udtPoint centre, double inner, double outer,
                            Colour colour) {
    for (int y = 0; y < H; ++y) {
        for (int x = 0; x < W; ++x) {
            const double r2 = (x - centre.X) * (x - centre.X) + (y - centre.Y) * (y - centre.Y);
            const bool deep = inner > 1.5 && r2 < (inner - 1.5) * (inner - 1.5);
            if (deep || r2 > (outer + 1.5) * (outer + 1.5)) {
                const bool coloured = form.picMain.GetPixel(x, y) == colour;
                if (coloured != deep) {
                    return "pixel " + std::to_string(x) + "," + std::to_string(y);
                }
                continue;
            }
            double edge = 1e9;
            bool inside = false; // even-odd rule over the drawing's sides
            for (int i = 1; i <= form.intLineCount; ++i) {
                const udtLine& l = form.arrLines[i];
                edge = std::min(edge, SegmentDistance({double(x), double(y)}, l));
                if ((l.Y1 > y) != (l.Y2 > y) &&
                    x < l.X1 + (y - l.Y1) * (l.X2 - l.X1) / (l.Y2 - l.Y1)) {
                    inside = !inside;
                }
            }
            const bool coloured = form.picMain.GetPixel(x, y) == colour;
            if (edge > 1.5 && coloured != inside) {
                return "pixel " + std::to_string(x) + "," + std::to_string(y);
            }
        }
    }
    return "";
}

// Every regular polygon a user can build, on sides of every kind of direction, filled inside:
// the fill stays inside after reopening and on the lines-only canvas.
TEST(Reopen, AFilledPolygonStaysInsideItsOutline) {
    TempDir dir;
    const udtPoint centre{290, 246};
    Form live, reopened;
    for (int n = 3; n <= 50; ++n) {
        for (double radius : {14.0, 60.0, 200.0}) {
            // Sides in every kind of direction, the polygon on either hand of them.
            for (double degrees : {0.0, 180.0, 90.0, 270.0, 27.0, 207.0, 333.0, 153.0}) {
                const double s = 2 * radius * std::sin(std::numbers::pi / n);
                const double a = radius * std::cos(std::numbers::pi / n);
                const double t = degrees * std::numbers::pi / 180;
                const double dx = std::cos(t), dy = -std::sin(t); // the side's direction
                const double hand = degrees < 180 ? 1 : -1;
                const udtPoint p1{centre.X - hand * dy * a - dx * s / 2,
                                  centre.Y + hand * dx * a - dy * s / 2};
                SCOPED_TRACE(std::to_string(n) + " corners, radius " + std::to_string(radius) +
                             ", side at " + std::to_string(degrees) + " degrees");
                live.form.NewProject();
                live.Polygon(p1.X, p1.Y, p1.X + s * dx, p1.Y + s * dy, centre.X, centre.Y, n);
                ASSERT_EQ(live.form.intLineCount, n);
                const double inner = a, outer = radius;

                FillAt(live, TEAL_SWATCH, centre.X, centre.Y);
                ASSERT_EQ(SaveAndReopen(live, reopened, dir.File("p.qlf")), "");
                EXPECT_EQ(FillStaysInside(reopened.form, centre, inner, outer, TEAL), "");

                // Coloured again on the lines-only canvas, which drops the fill.
                live.form.cmdOnlyLines_Click();
                FillAt(live, TEAL_SWATCH, centre.X, centre.Y);
                EXPECT_EQ(FillStaysInside(live.form, centre, inner, outer, TEAL), "");
            }
        }
    }
}

// A patch of each tiling built by clicks with every face coloured reopens as it was drawn,
// but for the pixels under the corner dots, which a reopened drawing does not show.
TEST(Reopen, TilingPatchesComeBackAsDrawn) {
    TempDir dir;
    const double side = 26;
    for (const testing::Tiling& tiling : testing::Tilings(side)) {
        SCOPED_TRACE(tiling.name);
        const auto faces = testing::FacesIn(tiling, side, {291.3, 247.1}, 4, 4, W - 4, H - 4);
        Form live;
        const auto built = testing::BuildByClicks(live, faces, side, {290, 246});
        ASSERT_GT(built.size(), 40u) << built.size();
        testing::FillFaces(live, built);
        ASSERT_EQ(live.form.intFillCount, static_cast<int>(built.size())); // no face leaked
        Form reopened;
        ASSERT_EQ(SaveAndReopen(live, reopened, dir.File(tiling.name + ".qlf")), "");
        Surface dots(W, H, 0);
        for (int i = 1; i <= live.form.intPointCount; ++i) {
            DrawPoint(dots, live.form.arrPoints[i].X, live.form.arrPoints[i].Y, 1);
        }
        long differing = 0;
        for (int y = 0; y < H; ++y) {
            for (int x = 0; x < W; ++x) {
                if (dots.GetPixel(x, y) == 0 && reopened.Pixel(x, y) != live.Pixel(x, y)) {
                    ++differing;
                }
            }
        }
        EXPECT_EQ(differing, 0);
    }
}

// Sides within a few bits of vertical or horizontal, as snapping to drifted corners gives
// them: the polygon is still regular, convex and on the clicked side.
TEST(Construction, NearlyAxisSidesGiveTheRegularPolygonOnTheClickedSide) {
    auto nudged = [](double v, int ulps) {
        for (; ulps > 0; --ulps) {
            v = std::nextafter(v, 1e9);
        }
        for (; ulps < 0; ++ulps) {
            v = std::nextafter(v, -1e9);
        }
        return v;
    };
    struct Side {
        double x1, y1, x2, y2;
    };
    std::vector<Side> sides;
    for (int ulps : {-6, -1, 1, 3}) {
        sides.push_back({nudged(128, ulps), 408, 128, 444}); // the drawing that came back crossed
        sides.push_back({128, 444, nudged(128, ulps), 408});
        sides.push_back({300, nudged(200, ulps), 340, 200});
        sides.push_back({340, 200, 300, nudged(200, ulps)});
    }
    for (const Side& side : sides) {
        for (int n : {3, 4, 5, 6, 8, 12}) {
            for (int click : {-1, 1}) {
                DrawingState d;
                Surface pic(W, H);
                d.OpenStep();
                d.dblX1 = side.x1;
                d.dblY1 = side.y1;
                d.dblX2 = side.x2;
                d.dblY2 = side.y2;
                const double mx = (side.x1 + side.x2) / 2, my = (side.y1 + side.y2) / 2;
                const double dx = side.x2 - side.x1, dy = side.y2 - side.y1;
                const double s = std::hypot(dx, dy);
                // 18 pixels off the side's middle, on one side or the other.
                d.dblMouseX = mx - click * 18 * dy / s;
                d.dblMouseY = my + click * 18 * dx / s;
                SCOPED_TRACE(std::to_string(n) + " corners, click " + std::to_string(click) +
                             " of side " + std::to_string(side.x1) + "," + std::to_string(side.y1) +
                             " " + std::to_string(side.x2) + "," + std::to_string(side.y2));
                ASSERT_TRUE(FindPolygonCentre(d, pic, static_cast<std::int16_t>(n)));
                ASSERT_EQ(d.intPointCount, n);
                const double apothem = s / (2 * std::tan(std::numbers::pi / n));
                const udtPoint c{mx - click * apothem * dy / s, my + click * apothem * dx / s};
                const double radius = s / (2 * std::sin(std::numbers::pi / n));
                for (int i = 1; i <= n; ++i) {
                    const udtPoint p = d.arrPoints[i];
                    EXPECT_NEAR(std::hypot(p.X - c.X, p.Y - c.Y), radius, 1e-9) << "corner " << i;
                }
                for (int i = 1; i <= d.intLineCount; ++i) {
                    const udtLine& l = d.arrLines[i];
                    EXPECT_NEAR(std::hypot(l.X2 - l.X1, l.Y2 - l.Y1), s, 1e-9) << "side " << i;
                }
            }
        }
    }
}

// Polygon undo drops a fill only where the undone lines changed the area it fills.
TEST(UndoAndFills, AnUndoKeepsTheFillsItsLinesDidNotBound) {
    constexpr int RED = 12, BLUE = 9, GREEN = 10;
    struct Case {
        const char* name;
        std::function<void(Form&)> draw;
        std::vector<std::int32_t> kept; // colours of the fills left, oldest first
    };
    const std::vector<Case> cases{
        {"the same square twice, then a fill",
         [](Form& f) {
             f.Polygon(100, 100, 200, 100, 150, 150);
             f.Polygon(100, 100, 200, 100, 150, 150);
             FillAt(f, RED, 150, 150);
         },
         {RGB(255, 0, 0)}},
        {"a fill in the old square after the new one",
         [](Form& f) {
             f.Polygon(100, 100, 200, 100, 150, 150);
             FillAt(f, RED, 150, 150);
             f.Polygon(200, 100, 200, 200, 250, 150);
             FillAt(f, BLUE, 250, 150); // bounded by the new square: would flood the background
             FillAt(f, GREEN, 150, 150);
         },
         {RGB(255, 0, 0), RGB(0, 255, 0)}},
        {"a fill outside both squares",
         [](Form& f) {
             f.Polygon(100, 100, 200, 100, 150, 150);
             f.Polygon(200, 100, 200, 200, 250, 150);
             FillAt(f, BLUE, 400, 400); // the background shrinks by the new square
         },
         {}},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Form f;
        c.draw(f);
        f.form.mnuUndo_Click();
        std::vector<std::int32_t> kept;
        for (int i = 1; i <= f.form.intFillCount; ++i) {
            kept.push_back(f.form.arrFills[i].Color);
        }
        EXPECT_EQ(kept, c.kept);
        // Reopened, the kept fills colour what they coloured when they were made.
        Form g;
        ASSERT_EQ(SaveAndReopen(f, g, dir.File("u.qlf")), "");
        if (g.form.intFillCount > 0) {
            const udtFill& last = g.form.arrFills[g.form.intFillCount];
            EXPECT_EQ(g.Pixel(static_cast<int>(last.X), static_cast<int>(last.Y)),
                      static_cast<Colour>(last.Color));
        }
        EXPECT_EQ(g.Pixel(50, 50), RGB(255, 255, 255));
    }
}

// A fill undo after a new polygon would show the picture before it, and the next fill would be
// painted on lines the file does not have.
TEST(UndoAndFills, AFillUndoNeverTakesBackAPolygon) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    FillAt(f, 12, 150, 150);
    f.Polygon(200, 100, 200, 200, 250, 150);
    const std::vector<Colour> shown = f.form.picMain.Pixels();
    f.form.SetFillValue(1);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.form.picMain.Pixels(), shown);
    f.form.SetFillValue(0);
    EXPECT_EQ(f.form.intFillCount, 1);
}

} // namespace
} // namespace quillet
