#include "platform/surface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <queue>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

namespace quillet {
namespace {

using PixelSet = std::set<std::pair<int, int>>;

constexpr Colour WHITE = 0xFFFFFF;
constexpr Colour BLACK = 0;

PixelSet Drawn(const Surface& s, Colour background = WHITE) {
    PixelSet out;
    for (int y = 0; y < s.ScaleHeight(); ++y) {
        for (int x = 0; x < s.ScaleWidth(); ++x) {
            if (s.GetPixel(x, y) != background) {
                out.insert({x, y});
            }
        }
    }
    return out;
}

PixelSet LinePixels(int w, int h, double x1, double y1, double x2, double y2) {
    Surface s(w, h);
    s.Line(x1, y1, x2, y2, BLACK);
    return Drawn(s);
}

// Independent reference: classic integer Bresenham stepping along the major axis, with the
// tie going to the smaller minor coordinate, on an unbounded plane.
PixelSet ReferenceLine(long long x1, long long y1, long long x2, long long y2, int w, int h) {
    PixelSet out;
    const bool xMajor = std::llabs(x2 - x1) > std::llabs(y2 - y1);
    long long a0 = xMajor ? x1 : y1, a1 = xMajor ? x2 : y2;
    long long b0 = xMajor ? y1 : x1, b1 = xMajor ? y2 : x2;
    const long long D = std::llabs(a1 - a0);
    const long long sa = a1 > a0 ? 1 : -1;
    const long long db = b1 - b0;
    for (long long t = 0; t < D; ++t) {
        // exact minor offset t * db / D; nearest with ties down
        long double exact = static_cast<long double>(t) * db / D;
        long long lo = static_cast<long long>(std::floor(exact));
        long long num = t * db - lo * D; // remainder in [0, D)
        long long b = b0 + lo + (2 * num > D ? 1 : 0);
        long long a = a0 + sa * t;
        long long x = xMajor ? a : b, y = xMajor ? b : a;
        if (x >= 0 && y >= 0 && x < w && y < h) {
            out.insert({static_cast<int>(x), static_cast<int>(y)});
        }
    }
    return out;
}

TEST(SurfaceLine, DocumentedExamples) {
    EXPECT_EQ(LinePixels(10, 10, 0, 0, 5, 2), (PixelSet{{0, 0}, {1, 0}, {2, 1}, {3, 1}, {4, 2}}));
    EXPECT_EQ(LinePixels(10, 10, 5, 2, 0, 0), (PixelSet{{5, 2}, {4, 2}, {3, 1}, {2, 1}, {1, 0}}));
    EXPECT_EQ(LinePixels(10, 10, 0, 0, 4, 1), (PixelSet{{0, 0}, {1, 0}, {2, 0}, {3, 1}}));
    EXPECT_TRUE(LinePixels(10, 10, 3, 3, 3, 3).empty());
}

TEST(SurfaceLine, AllOctantsBothDirectionsMatchReferenceAndAreSymmetric) {
    const int c = 20;
    for (int dx = -12; dx <= 12; ++dx) {
        for (int dy = -12; dy <= 12; ++dy) {
            if (dx == 0 && dy == 0) {
                continue;
            }
            const int x2 = c + dx, y2 = c + dy;
            PixelSet forward = LinePixels(41, 41, c, c, x2, y2);
            EXPECT_EQ(forward, ReferenceLine(c, c, x2, y2, 41, 41)) << dx << "," << dy;
            EXPECT_FALSE(forward.count({x2, y2})) << "end pixel must be left out";
            EXPECT_TRUE(forward.count({c, c})) << "first pixel must be set";
            PixelSet backward = LinePixels(41, 41, x2, y2, c, c);
            forward.insert({x2, y2});
            backward.insert({c, c});
            EXPECT_EQ(forward, backward) << dx << "," << dy;
        }
    }
}

TEST(SurfaceLine, FarOffExampleSetsOneRow) {
    PixelSet p = LinePixels(581, 493, -1000000, 5, 3000000, 400);
    ASSERT_EQ(p.size(), 581u);
    for (auto [x, y] : p) {
        EXPECT_EQ(y, 104);
    }
}

TEST(SurfaceLine, ClippingMatchesUnclippedLineOnRandomFarLines) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<long long> far(-3000000, 3000000);
    for (int i = 0; i < 40; ++i) {
        long long x1 = far(rng), y1 = far(rng), x2 = far(rng), y2 = far(rng);
        if (i % 2 == 0) { // make sure many of them cross the canvas
            x2 = 290 - (x1 - 290);
            y2 = 246 - (y1 - 246) + (i % 7);
        }
        EXPECT_EQ(LinePixels(581, 493, x1, y1, x2, y2), ReferenceLine(x1, y1, x2, y2, 581, 493))
            << x1 << "," << y1 << " -> " << x2 << "," << y2;
    }
}

TEST(SurfaceLine, HugeEndPointsGiveTheSamePixelsAsAShortPieceOfTheLine) {
    // Lines through the origin with end points far beyond 64-bit range (every coordinate
    // exactly representable), against a short piece of the same line across the canvas.
    const double big = std::ldexp(1.0, 200);
    EXPECT_EQ(LinePixels(100, 60, -2 * big, -big, 2 * big, big),
              LinePixels(100, 60, -400, -200, 400, 200));
    EXPECT_EQ(LinePixels(100, 60, -2 * big, -big, 2 * big, big).size(), 100u);
    // Steep, drawn from the far end towards the canvas, and past 2^63 only a little.
    EXPECT_EQ(LinePixels(100, 60, big, 3 * big, -big, -3 * big),
              LinePixels(100, 60, 100, 300, -100, -300));
    const double p63 = std::ldexp(1.0, 63);
    EXPECT_EQ(LinePixels(100, 60, -p63, -p63 / 4, p63, p63 / 4),
              LinePixels(100, 60, -400, -100, 400, 100));
    // The largest doubles and non-finite values neither hang nor draw garbage.
    const double max = std::numeric_limits<double>::max();
    EXPECT_EQ(LinePixels(50, 50, -max, 10, max, 10).size(), 50u);
    EXPECT_TRUE(LinePixels(50, 50, 0, 0, INFINITY, 10).empty());
    EXPECT_TRUE(LinePixels(50, 50, NAN, 0, 3, 10).empty());
}

TEST(SurfaceModes, XorTwiceRestoresAndBlackSetsZero) {
    Surface s(30, 30);
    s.SetPixel(5, 5, 0x123456);
    s.Ellipse(2, 2, 12, 9, 0x00FF00, 0x0000FF);
    const std::vector<Colour> before = s.Pixels();
    s.DrawMode = R2_XORPEN;
    s.Line(0, 0, 29, 17, WHITE);
    EXPECT_NE(s.Pixels(), before);
    EXPECT_EQ(s.GetPixel(0, 0), 0u); // white XOR white
    s.Line(0, 0, 29, 17, WHITE);
    EXPECT_EQ(s.Pixels(), before);

    s.DrawMode = R2_BLACK;
    s.Line(0, 20, 10, 20, 0x00FF00);
    EXPECT_EQ(s.GetPixel(4, 20), 0u);
}

std::vector<std::string> Mask(const Surface& s, int l, int t, int w, int h) {
    std::vector<std::string> rows;
    for (int y = t; y < t + h; ++y) {
        std::string row;
        for (int x = l; x < l + w; ++x) {
            row += s.GetPixel(x, y) == WHITE ? '.' : '#';
        }
        rows.push_back(row);
    }
    return rows;
}

TEST(SurfaceEllipse, DotMaskAndOtherBoxes) {
    Surface s(20, 20);
    s.Ellipse(8, 8, 12, 12, 0xFF, 0xFF);
    EXPECT_EQ(Mask(s, 7, 7, 6, 6), (std::vector<std::string>{"......", "..##..", ".####.", ".####.",
                                                             "..##..", "......"}));

    Surface e(30, 30);
    e.DrawMode = R2_XORPEN; // ellipses paint in copy mode whatever the mode
    e.Ellipse(3, 5, 14, 12, 0x00FF00, 0x0000FF);
    std::vector<std::string> m = Mask(e, 3, 5, 11, 7);
    for (std::size_t r = 0; r < m.size(); ++r) {
        std::string mirrored(m[r].rbegin(), m[r].rend());
        EXPECT_EQ(m[r], mirrored) << "row " << r;
        EXPECT_EQ(m[r], m[m.size() - 1 - r]);
    }
    EXPECT_EQ(e.GetPixel(8, 8), 0x0000FFu); // inside: brush
    EXPECT_EQ(e.GetPixel(3, 8), 0x00FF00u); // left edge: pen
    EXPECT_EQ(e.GetPixel(14, 8), WHITE);    // right edge of the box is excluded
    EXPECT_EQ(e.GetPixel(8, 12), WHITE);    // bottom edge too
}

TEST(SurfaceFill, StopsAtDiagonalLinesAndMatchesExactColour) {
    Surface s(12, 12);
    s.Line(0, 11, 12, -1, BLACK); // a diagonal: only corner contact between its pixels
    ASSERT_TRUE(s.ExtFloodFill(0, 0, WHITE, 0xFF));
    EXPECT_EQ(s.GetPixel(0, 0), 0xFFu);
    EXPECT_EQ(s.GetPixel(11, 11), WHITE) << "the fill leaked through the diagonal";

    Surface near(10, 1);
    near.SetPixel(5, 0, 0xFFFFFE); // one bit off white stops the fill
    ASSERT_TRUE(near.ExtFloodFill(0, 0, WHITE, 0xFF));
    EXPECT_EQ(near.GetPixel(4, 0), 0xFFu);
    EXPECT_EQ(near.GetPixel(6, 0), WHITE);
}

TEST(SurfaceFill, NothingOutsideOrWhenAlreadyBrushColour) {
    Surface s(10, 10);
    const std::vector<Colour> before = s.Pixels();
    EXPECT_FALSE(s.ExtFloodFill(-1, 3, WHITE, 0xFF));
    EXPECT_FALSE(s.ExtFloodFill(10, 3, WHITE, 0xFF));
    EXPECT_FALSE(s.ExtFloodFill(3, 3, WHITE, WHITE));
    EXPECT_FALSE(s.ExtFloodFill(3, 3, 0x123, 0xFF)); // seed does not have the given colour
    EXPECT_EQ(s.Pixels(), before);
    EXPECT_EQ(s.GetPixel(-1, 0), CLR_INVALID);
    EXPECT_EQ(s.GetPixel(0, 10), CLR_INVALID);
}

TEST(SurfaceFill, AgreesWithBreadthFirstFillOnRandomImages) {
    std::mt19937 rng(3);
    for (int round = 0; round < 30; ++round) {
        Surface s(37, 23);
        std::bernoulli_distribution wall(0.35 + 0.01 * round);
        for (int y = 0; y < 23; ++y) {
            for (int x = 0; x < 37; ++x) {
                if (wall(rng)) {
                    s.SetPixel(x, y, BLACK);
                }
            }
        }
        const int sx = static_cast<int>(rng() % 37), sy = static_cast<int>(rng() % 23);
        const Colour seed = s.GetPixel(sx, sy);
        Surface expected = s;
        if (seed != 0xFF) { // breadth-first reference
            std::queue<std::pair<int, int>> q;
            q.push({sx, sy});
            expected.SetPixel(sx, sy, 0xFF);
            while (!q.empty()) {
                auto [x, y] = q.front();
                q.pop();
                for (auto [nx, ny] : {std::pair{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}}) {
                    if (expected.GetPixel(nx, ny) == seed) {
                        expected.SetPixel(nx, ny, 0xFF);
                        q.push({nx, ny});
                    }
                }
            }
        }
        s.ExtFloodFill(sx, sy, seed, 0xFF);
        EXPECT_EQ(s.Pixels(), expected.Pixels()) << "round " << round;
    }
}

TEST(SurfaceCopy, BitBltCopiesWholeImagesAndClsClears) {
    Surface a(16, 9), b(16, 9);
    a.Line(0, 0, 15, 8, 0x0000FF);
    a.Ellipse(3, 3, 7, 7, 0x00FF00, 0x00FF00);
    b.BitBlt(a, 16, 9);
    EXPECT_EQ(a.Pixels(), b.Pixels());
    a.Cls();
    EXPECT_EQ(Drawn(a).size(), 0u);
    EXPECT_NE(a.Pixels(), b.Pixels());
    b.BitBlt(a, -3, 9); // nonsense sizes copy nothing
    EXPECT_NE(a.Pixels(), b.Pixels());
}

} // namespace
} // namespace quillet
