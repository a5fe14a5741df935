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

// A side of the drawing: the line with its end pixel too. Two sides of a polygon end at the
// same corner, so without it the outline has a gap there that a fill leaks through wherever
// the corner dots are not drawn over it.
void DrawSide(Surface& pic, double x1, double y1, double x2, double y2, int mode,
              std::int32_t colour);

// The redraw commands; each returns whether the canvas must be shown anew.
bool RedrawAll(DrawingState& d, Surface& pic);
bool RedrawOnlyLines(DrawingState& d, Surface& pic);
bool RedrawOnlyPoints(DrawingState& d, Surface& pic);

} // namespace quillet
