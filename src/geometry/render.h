#pragma once
// The two drawing primitives of the program and the three redraw commands.

#include "drawing/drawing_state.h"
#include "platform/surface.h"

#include <cstdint>

namespace quillet {

// Nearest integer, halves to the even neighbour: how a coordinate becomes a pixel.
double RoundPixel(double v);

// A filled dot of the colour in the 4 x 4 box around the rounded position.
void DrawPoint(Surface& pic, double x, double y, std::int32_t colour);
// A one-pixel line between the rounded end points, end pixel excluded, in the given mode.
void DrawLine(Surface& pic, double x1, double y1, double x2, double y2, int mode,
              std::int32_t colour);

// The redraw commands; each returns whether the canvas must be shown anew.
bool RedrawAll(DrawingState& d, Surface& pic);
bool RedrawOnlyLines(DrawingState& d, Surface& pic);
bool RedrawOnlyPoints(DrawingState& d, Surface& pic);

} // namespace quillet
