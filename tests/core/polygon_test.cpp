#include "geometry/polygon.h"
#include "geometry/render.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

namespace quillet {
namespace {

// A drawing with an open step record and the chosen side, as the second click leaves it.
struct Construction {
    DrawingState d;
    Surface pic{581, 493};
    Construction(double x1, double y1, double x2, double y2) {
        d.intUndoSteps = 1;
        d.arrStepLines.ReDim(1);
        d.arrStepPoints.ReDim(1);
        d.dblX1 = x1;
        d.dblY1 = y1;
        d.dblX2 = x2;
        d.dblY2 = y2;
    }
    void Seed() { // the side stored as points 1, 2 and line 1, as in an empty drawing
        d.intPointCount = 2;
        d.arrPoints.ReDim(2);
        d.arrPoints[1] = {d.dblX1, d.dblY1};
        d.arrPoints[2] = {d.dblX2, d.dblY2};
        d.intLineCount = 1;
        d.arrLines.ReDim(1);
        d.arrLines[1] = {d.dblX1, d.dblY1, d.dblX2, d.dblY2};
        d.arrStepLines[1].Count = 1;
        d.arrStepLines[1].Items.ReDim(1);
        d.arrStepLines[1].Items[1] = 1;
        d.arrStepPoints[1].Count = 2;
        d.arrStepPoints[1].Items.ReDim(2);
        d.arrStepPoints[1].Items[1] = 1;
        d.arrStepPoints[1].Items[2] = 2;
    }
    bool Build(double sideX, double sideY, int n) {
        d.dblMouseX = sideX;
        d.dblMouseY = sideY;
        return FindPolygonCentre(d, pic, static_cast<std::int16_t>(n));
    }
    std::vector<std::int16_t> Items(const udtUndoStep& s) const {
        std::vector<std::int16_t> v;
        for (int i = 1; i <= s.Count; ++i) {
            v.push_back(s.Items[i]);
        }
        return v;
    }
};

constexpr double kNear = 1e-9;

void ExpectNear(udtPoint p, double x, double y, double tolerance = kNear) {
    EXPECT_NEAR(p.X, x, tolerance);
    EXPECT_NEAR(p.Y, y, tolerance);
}

TEST(Polygon, SquareOnASeededHorizontalSide) {
    Construction c(100, 100, 200, 100);
    c.Seed();
    ASSERT_TRUE(c.Build(150, 150, 4));
    EXPECT_EQ(c.d.intNumCorners, 4);
    EXPECT_EQ(c.d.dblX1, 200); // exchanged into counter-clockwise order
    EXPECT_EQ(c.d.dblX2, 100);
    ASSERT_EQ(c.d.intLineCount, 4);
    ASSERT_EQ(c.d.intPointCount, 4);
    EXPECT_EQ(c.d.arrLines[2].X1, 100);
    EXPECT_EQ(c.d.arrLines[2].Y1, 100);
    EXPECT_NEAR(c.d.arrLines[2].X2, 100, kNear);
    EXPECT_NEAR(c.d.arrLines[2].Y2, 200, kNear);
    EXPECT_EQ(c.d.arrLines[3].X1, c.d.arrLines[2].X2); // corners are copied, never recomputed
    EXPECT_NEAR(c.d.arrLines[3].X2, 200, kNear);
    EXPECT_EQ(c.d.arrLines[4].X2, 200);
    EXPECT_EQ(c.d.arrLines[4].Y2, 100);
    ExpectNear(c.d.arrPoints[3], 100, 200);
    ExpectNear(c.d.arrPoints[4], 200, 200);
    EXPECT_EQ(c.Items(c.d.arrStepLines[1]), (std::vector<std::int16_t>{1, 2, 3, 4}));
    EXPECT_EQ(c.Items(c.d.arrStepPoints[1]), (std::vector<std::int16_t>{1, 2, 3, 4}));
    for (udtPoint p : {udtPoint{100, 100}, {200, 100}, {100, 200}, {200, 200}}) {
        EXPECT_EQ(c.pic.GetPixel(p.X, p.Y), static_cast<Colour>(COLOR_POINT));
    }
    EXPECT_EQ(c.pic.GetPixel(150, 200), 0u); // the bottom side is drawn in black
}

TEST(Polygon, DocumentedCornersAndTheirExactBits) {
    // Bit patterns computed once and checked against the closed forms (triangle apex at
    // 100 - 50 sqrt 3, hexagon corners at 300 + 50 sqrt 3 (k), ...); a change in the order
    // of evaluation or in the constants changes them.
    struct Case {
        double x1, y1, x2, y2, sx, sy;
        int n;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> corners; // from corner 3 on
    };
    const std::vector<Case> cases{
        {100, 100, 200, 100, 150, 20, 3, {{0x4062C00000000003ull, 0x402ACB7FD3D820FCull}}},
        {300,
         100,
         300,
         200,
         300,
         150,
         6,
         {{0x407829A401613EEEull, 0x406F3FFFFFFFFFFAull},
          {0x407D934802C27DE8ull, 0x406900000000000Full},
          {0x407D934802C27DF3ull, 0x4059000000000031ull},
          {0x407829A401613F05ull, 0x4049000000000018ull}}},
        {0,
         0,
         40,
         30,
         80,
         60,
         4,
         {{0xC03E00000000001Bull, 0x4043FFFFFFFFFFE1ull},
          {0x4023FFFFFFFFFF7Eull, 0x40517FFFFFFFFFFEull}}},
        {0,
         0,
         40,
         30,
         20,
         0,
         4,
         {{0x40517FFFFFFFFFFDull, 0xC023FFFFFFFFFFDAull},
          {0x403E000000000013ull, 0xC043FFFFFFFFFFF9ull}}},
        {17,
         23,
         58.5,
         41,
         40,
         90,
         7,
         {{0xC036F2A297A0C56Full, 0x40461C917E2A731Aull},
          {0xC03F430A61090C55ull, 0x40562C096CCC21A4ull},
          {0xBFFAE7BCA9D48F80ull, 0x405EBA59213AA800ull},
          {0x4045C25F7BAF3591ull, 0x405E47DE7C8D53B8ull},
          {0x40519351ACFE8AC9ull, 0x40552ACDFECC948Cull}}},
    };
    for (const Case& k : cases) {
        Construction c(k.x1, k.y1, k.x2, k.y2);
        ASSERT_TRUE(c.Build(k.sx, k.sy, k.n));
        ASSERT_EQ(c.d.intPointCount, k.n);
        for (std::size_t i = 0; i < k.corners.size(); ++i) {
            const udtPoint p = c.d.arrPoints[static_cast<int>(i) + 3];
            EXPECT_EQ(std::bit_cast<std::uint64_t>(p.X), k.corners[i].first)
                << k.n << " corner " << i + 3;
            EXPECT_EQ(std::bit_cast<std::uint64_t>(p.Y), k.corners[i].second)
                << k.n << " corner " << i + 3;
        }
    }
}

TEST(Polygon, DocumentedCentresAndSides) {
    Construction tri(100, 100, 200, 100);
    ASSERT_TRUE(tri.Build(150, 20, 3));
    EXPECT_EQ(tri.d.dblX1, 100); // no exchange above a horizontal side
    ExpectNear(tri.d.arrPoints[3], 150, 13.3975, 5e-5);
    EXPECT_NEAR(tri.d.arrPoints[3].Y, 100 - 50 * std::sqrt(3.0), 1e-12);

    Construction hex(300, 100, 300, 200); // a click on the line puts the polygon right
    ASSERT_TRUE(hex.Build(300, 150, 6));
    ExpectNear(hex.d.arrPoints[3], 386.6025403784, 250, 1e-9);
    ExpectNear(hex.d.arrPoints[4], 473.2050807569, 200, 1e-9);
    ExpectNear(hex.d.arrPoints[5], 473.2050807569, 100, 1e-9);
    ExpectNear(hex.d.arrPoints[6], 386.6025403784, 50, 1e-9);

    Construction below(0, 0, 40, 30); // on the oblique line counts as below
    ASSERT_TRUE(below.Build(80, 60, 4));
    EXPECT_EQ(below.d.dblX1, 40);
    EXPECT_EQ(below.d.dblY1, 30);
    ExpectNear(below.d.arrPoints[3], -30, 40);
    ExpectNear(below.d.arrPoints[4], 10, 70);

    Construction above(40, 30, 0, 0); // given right to left: exchanged first
    ASSERT_TRUE(above.Build(20, 0, 4));
    ExpectNear(above.d.arrPoints[3], 70, -10);
    ExpectNear(above.d.arrPoints[4], 30, -40);
}

TEST(Polygon, FiftyCornersCloseWithEqualSides) {
    Construction c(250, 300, 262, 300);
    ASSERT_TRUE(c.Build(256, 200, 50));
    ASSERT_EQ(c.d.intPointCount, 50);
    ASSERT_EQ(c.d.intLineCount, 50);
    for (int i = 1; i <= 50; ++i) {
        const udtLine& l = c.d.arrLines[i];
        EXPECT_NEAR(std::hypot(l.X2 - l.X1, l.Y2 - l.Y1), 12.0, 1e-9) << "side " << i;
    }
    EXPECT_EQ(c.d.arrLines[50].X2, c.d.arrLines[1].X1);
    EXPECT_EQ(c.d.arrLines[50].Y2, c.d.arrLines[1].Y1);
}

TEST(Polygon, DuplicatesAreSkippedInBothDirections) {
    Construction c(100, 100, 200, 100);
    ASSERT_TRUE(c.Build(150, 150, 4));
    const DrawingState first = c.d;
    // The same square again, its side given the other way round: nothing is stored.
    c.d.intUndoSteps = 2;
    c.d.arrStepLines.ReDimPreserve(2);
    c.d.arrStepPoints.ReDimPreserve(2);
    c.d.dblX1 = 100;
    c.d.dblX2 = 200;
    c.d.dblY1 = c.d.dblY2 = 100;
    ASSERT_TRUE(c.Build(150, 150, 4));
    EXPECT_EQ(c.d.intLineCount, first.intLineCount);
    EXPECT_EQ(c.d.intPointCount, first.intPointCount);
    EXPECT_EQ(c.d.arrStepLines[2].Count, 0);
    EXPECT_EQ(c.d.arrStepPoints[2].Count, 0);

    // A point that differs in its last bit is a new point.
    AddPoint(c.d, std::nextafter(100.0, 101.0), 100);
    EXPECT_EQ(c.d.intPointCount, first.intPointCount + 1);
    AddPoint(c.d, 100, 100);
    EXPECT_EQ(c.d.intPointCount, first.intPointCount + 1);
}

TEST(Polygon, StoredLinesAreRecordedAndDrawnButNotAppended) {
    Construction c(0, 0, 1, 1);
    c.d.intLineCount = 5;
    c.d.arrLines.ReDim(5);
    AddLine(c.d, c.pic, 10, 10, 30, 10, COLOR_LINE, true);
    EXPECT_EQ(c.d.intLineCount, 5);
    EXPECT_EQ(c.d.arrLines.UBound(), 5);
    ASSERT_EQ(c.d.arrStepLines[1].Count, 1);
    EXPECT_EQ(c.d.arrStepLines[1].Items[1], 5);
    EXPECT_EQ(c.pic.GetPixel(20, 10), 0u);
}

TEST(Polygon, RefusedWhenTheDrawingWouldPassTheLimit) {
    Construction c(100, 100, 200, 100);
    c.d.intPointCount = MAX_ELEMENTS - 2;
    c.d.arrPoints.ReDim(c.d.intPointCount);
    c.d.intLineCount = 10;
    c.d.arrLines.ReDim(10);
    const DrawingState before = c.d;
    EXPECT_FALSE(c.Build(150, 150, 4)); // needs 4 new points, room for 2
    EXPECT_EQ(c.d.intPointCount, before.intPointCount);
    EXPECT_EQ(c.d.intLineCount, before.intLineCount);
    EXPECT_EQ(c.d.arrStepLines, before.arrStepLines);
    EXPECT_TRUE(c.Build(150, 20, 3) == false); // 3 new points: still too many
    Construction ok(100, 100, 200, 100);
    ok.d.intPointCount = MAX_ELEMENTS - 3;
    ok.d.arrPoints.ReDim(ok.d.intPointCount);
    EXPECT_TRUE(ok.Build(150, 20, 3));
    EXPECT_EQ(ok.d.intPointCount, MAX_ELEMENTS);
}

TEST(Render, DotBoxesRoundHalvesToEven) {
    Surface s(40, 40);
    DrawPoint(s, 10.5, 20.5, 0xFF); // box 8, 18, 12, 22
    EXPECT_EQ(s.GetPixel(8, 19), 0xFFu);
    EXPECT_EQ(s.GetPixel(11, 20), 0xFFu);
    EXPECT_EQ(s.GetPixel(12, 20), 0xFFFFFFu);
    EXPECT_EQ(s.GetPixel(9, 18), 0xFFu);
    EXPECT_EQ(s.GetPixel(9, 22), 0xFFFFFFu);
    Surface t(40, 40);
    DrawPoint(t, 11.5, 20, 0xFF); // box 10, 18, 14, 22
    EXPECT_EQ(t.GetPixel(10, 19), 0xFFu);
    EXPECT_EQ(t.GetPixel(13, 20), 0xFFu);
    EXPECT_EQ(t.GetPixel(14, 20), 0xFFFFFFu);
    EXPECT_EQ(RoundPixel(2.5), 2);
    EXPECT_EQ(RoundPixel(3.5), 4);
    EXPECT_EQ(RoundPixel(-2.5), -2);
}

} // namespace
} // namespace quillet
