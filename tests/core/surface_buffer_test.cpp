// Exchanging the images of two surfaces, painting one span of a row, and surfaces whose pixels
// are made only when first needed.
#include "platform/surface.h"

#include <gtest/gtest.h>

#include <functional>
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

// A surface nobody has drawn on or read yet holds no pixels; whatever happens to it first must
// give exactly what it gives on a surface whose pixels exist.
TEST(SurfaceUntouched, BehavesAsIfItsPixelsExisted) {
    struct Case {
        const char* what;
        std::function<void(Surface& s, Surface& other)> act;
    };
    const Case cases[] = {
        {"read", [](Surface& s, Surface&) { EXPECT_EQ(s.GetPixel(2, 1), 0x0000FFu); }},
        {"pixel", [](Surface& s, Surface&) { s.SetPixel(2, 1, 0x123456); }},
        {"xor line",
         [](Surface& s, Surface&) {
             s.DrawMode = R2_XORPEN;
             s.Line(0, 0, 6, 4, 0x00FFFF);
         }},
        {"ellipse", [](Surface& s, Surface&) { s.Ellipse(1, 1, 5, 4, 0, 0x00FF00); }},
        {"span", [](Surface& s, Surface&) { s.FillSpan(3, 1, 4, 0xABCDEF); }},
        {"flood", [](Surface& s, Surface&) { EXPECT_TRUE(s.ExtFloodFill(0, 0, 0x0000FF, 7)); }},
        // The background changed but not yet cleared with: the old one stays.
        {"new back colour",
         [](Surface& s, Surface&) {
             s.BackColor = 0x00FF00;
             EXPECT_EQ(s.GetPixel(0, 0), 0x0000FFu);
         }},
        {"cleared with a new back colour",
         [](Surface& s, Surface&) {
             s.BackColor = 0x00FF00;
             s.Cls();
             s.SetPixel(0, 0, 1);
         }},
        {"copied from", [](Surface& s, Surface& other) { other.BitBlt(s, 4, 3); }},
        {"copied into", [](Surface& s, Surface& other) { s.BitBlt(other, 4, 3); }},
        {"swapped",
         [](Surface& s, Surface& other) {
             s.Swap(other);
             s.SetPixel(0, 0, 1);
             other.Cls();
         }},
        {"copied", [](Surface& s, Surface& other) { other = s; }},
    };
    for (const Case& c : cases) {
        Surface untouched(7, 5, 0x0000FF), made(7, 5, 0x0000FF);
        (void)made.Pixels();
        Surface other1(7, 5, 0xFF0000), other2(7, 5, 0xFF0000);
        other1.SetPixel(3, 2, 0x010203);
        other2.SetPixel(3, 2, 0x010203);
        c.act(untouched, other1);
        c.act(made, other2);
        EXPECT_EQ(untouched.Pixels(), made.Pixels()) << c.what;
        EXPECT_EQ(other1.Pixels(), other2.Pixels()) << c.what;
        EXPECT_EQ(untouched.GetPixel(6, 4), made.GetPixel(6, 4)) << c.what;
    }
}

} // namespace
} // namespace quillet
