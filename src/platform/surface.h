#pragma once
// A persistent 32-bit raster image that behaves like the drawing surface of a picture box:
// colours are 0x00BBGGRR values, lines leave out their end pixel, ellipses leave out the right
// and bottom edge of their box, and the flood fill is an exact-colour surface fill.
// Everything is deterministic so that replayed fills give the same pixels on every machine.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace quillet {

using Colour = std::uint32_t; // 0x00BBGGRR

inline constexpr Colour CLR_INVALID = 0xFFFFFFFFu; // equals no real colour
inline constexpr Colour COLOUR_MASK = 0x00FFFFFFu;

constexpr Colour RGB(int r, int g, int b) {
    return static_cast<Colour>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}

// Raster modes as the picture box's DrawMode numbers them.
inline constexpr int R2_BLACK = 1;
inline constexpr int R2_XORPEN = 7;
inline constexpr int R2_COPYPEN = 13;

class Surface {
  public:
    Surface(int width, int height, Colour backColor = 0xFFFFFFu);

    int ScaleWidth() const { return width_; }
    int ScaleHeight() const { return height_; }

    Colour BackColor = 0xFFFFFFu;
    int DrawMode = R2_COPYPEN;

    void Cls();

    // One-pixel line from (x1, y1) up to but not including (x2, y2), with the current DrawMode.
    // The coordinates are whole numbers held in doubles so that end points of any magnitude
    // can be given; non-finite or non-integral coordinates draw nothing.
    void Line(double x1, double y1, double x2, double y2, Colour pen);
    // The one pixel at (x, y) with the current DrawMode, under the same rules as Line's ends.
    void Dot(double x, double y, Colour pen);

    // Filled and outlined ellipse in the box, right and bottom edge excluded; copy mode.
    void Ellipse(double left, double top, double right, double bottom, Colour pen, Colour brush);

    Colour GetPixel(double x, double y) const;
    void SetPixel(int x, int y, Colour c); // copy mode; ignores positions outside

    // FLOODFILLSURFACE: every pixel 4-connected to (x, y) that has exactly `surfaceColour`
    // takes `brush`. Returns false (and paints nothing) when the seed lies outside, does not
    // have `surfaceColour`, or already has the brush colour.
    bool ExtFloodFill(double x, double y, Colour surfaceColour, Colour brush);

    // What flood fills painted: pixels, and the runs of a row they painted them in.
    struct FloodWork {
        std::size_t pixels = 0;
        std::size_t spans = 0;
    };
    // The same fill, adding what it paints to `work`.
    bool ExtFloodFill(double x, double y, Colour surfaceColour, Colour brush, FloodWork& work);

    // SRCCOPY of the width x height block at the origin of `src` to the origin of this surface.
    void BitBlt(const Surface& src, int width, int height);

    // Exchanges the images (size and pixels) of two surfaces without copying them; BackColor
    // and DrawMode stay with their surface.
    void Swap(Surface& other) noexcept;

    // Pixels left..right (inclusive) of row y take `c`, copy mode; clipped to the image.
    void FillSpan(int y, int left, int right, Colour c);

    const std::vector<Colour>& Pixels() const {
        Materialise();
        return pixels_;
    }

  private:
    // A new or cleared surface holds no pixels until something reads or draws them: most
    // pictures are kept for undo and touched only later, and their memory is part of the
    // start-up. Until then every pixel is `blank_`.
    void Materialise() const {
        if (!materialised_) {
            pixels_.assign(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_),
                           blank_);
            materialised_ = true;
        }
    }
    void Plot(int x, int y, Colour pen);
    template <bool Count>
    bool Flood(double x, double y, Colour surfaceColour, Colour brush, FloodWork& work);

    int width_;
    int height_;
    mutable std::vector<Colour> pixels_;
    mutable bool materialised_ = false;
    Colour blank_;
};

} // namespace quillet
