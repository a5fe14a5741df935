#pragma once
// The construction of a regular polygon from one side and a click beside it, and the
// appending of points and lines to the drawing.
//
// Corners are compared by exact equality and files are shared, so every expression is
// evaluated in the order written here; the build forbids contraction into fused operations.

#include "drawing/drawing_state.h"
#include "platform/surface.h"

#include <cstdint>

namespace quillet {

// 3.14159265358979, the double nearest to that 15-digit decimal; every angle uses it.
inline constexpr double PI_APPROX = 3.14159265358979;
inline constexpr double TWO_PI_APPROX = 6.28318530717958;

// Builds the polygon with n corners on the chosen side (dblX1, dblY1)-(dblX2, dblY2), on the
// side of the tracked position (dblMouseX, dblMouseY). Sets intNumCorners = n. Returns false,
// with nothing stored, when the new corners or sides would take the drawing past
// MAX_ELEMENTS; the chosen points may then stand exchanged.
bool FindPolygonCentre(DrawingState& d, Surface& pic, std::int16_t n);
bool BuildPolygon(DrawingState& d, Surface& pic, udtPoint centre, std::int16_t n,
                  bool blnCentreBelow);
void OrderChosenPoints(DrawingState& d, udtPoint centre);

void AddPoint(DrawingState& d, double x, double y);
void AddLine(DrawingState& d, Surface& pic, double x1, double y1, double x2, double y2,
             std::int32_t colour, bool blnStored);

} // namespace quillet
