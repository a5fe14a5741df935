// Exchanging the images of two surfaces, and painting one span of a row.
#include "platform/surface.h"

#include <gtest/gtest.h>

#include <vector>

namespace quillet {
namespace {

TEST(SurfaceSwap, ExchangesTheImagesButNotTheDrawSettings) {
    Surface a(7, 5, 0x0000FF), b(7, 5, 0x00FF00);
    a.DrawMode = R2_XORPEN;
    a.SetPixel(1, 1, 0x123456);
    const std::vector<Colour> pixelsA = a.Pixels(), pixelsB = b.Pixels();
    a.Swap(b);
    EXPECT_EQ(a.Pixels(), pixelsB);
    EXPECT_EQ(b.Pixels(), pixelsA);
    EXPECT_EQ(a.DrawMode, R2_XORPEN);
    EXPECT_EQ(b.DrawMode, R2_COPYPEN);
    a.Cls(); // clears with its own background, not the one it was swapped with
    EXPECT_EQ(a.GetPixel(1, 1), 0x0000FFu);
}

TEST(SurfaceFillSpan, PaintsTheClippedSpanOfOneRow) {
    struct Case {
        int y, left, right;
        int painted; // pixels of row 1 that take the colour; -1: nothing anywhere
        int from;
    };
    const Case cases[] = {
        {1, 2, 4, 3, 2},   {1, -3, 1, 2, 0}, {1, 5, 99, 3, 5}, {1, 4, 3, -1, 0},
        {-1, 0, 7, -1, 0}, {5, 0, 7, -1, 0}, {1, 8, 9, -1, 0},
    };
    for (const Case& c : cases) {
        Surface s(8, 5);
        s.FillSpan(c.y, c.left, c.right, 0xFF00FF00u); // the high byte is dropped
        Surface expected(8, 5);
        for (int i = 0; i < c.painted; ++i) {
            expected.SetPixel(c.from + i, 1, 0x00FF00);
        }
        EXPECT_EQ(s.Pixels(), expected.Pixels()) << c.y << " " << c.left << ".." << c.right;
    }
}

} // namespace
} // namespace quillet
