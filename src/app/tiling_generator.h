#pragma once
// A tiling made into a drawing the way a user makes one: polygon by polygon, each on a side
// already drawn (its ends clicked and snapped to, then a click inside), the corner count typed
// in the box, on a main window without a display. The file holds what those clicks store.

#include "app/tilings.h"
#include "drawing/drawing_state.h"
#include "project/project_format.h"

#include <optional>
#include <string>
#include <variant>

namespace quillet {

// The default side is the largest whole number of pixels that gives at least this many
// corners with polygons all round them.
inline constexpr int TILING_MIN_SURROUNDED = 40;

struct TilingOptions {
    std::optional<double> side;     // pixels; default: see TILING_MIN_SURROUNDED
    std::optional<udtPoint> centre; // where the lattice's origin goes; default the canvas centre
    bool colour = false;            // one fill per face, by its corner count (TilingSwatch)
};

// The palette swatch (0 to 15) that colours faces of n corners: triangles yellow (14),
// squares red (12), hexagons blue (9), octagons cyan (11), dodecagons magenta (13); -1 for
// other counts, which the tilings do not have.
int TilingSwatch(int n);

struct TilingDrawing {
    ProjectData data;
    double side = 0;
    udtPoint centre;
    int polygons = 0;
    int surrounded = 0; // corners with polygons all round them
};

struct TilingFailure {
    // The side or centre asked for cannot give a drawing (no face fits, say), rather than a
    // step of the construction being refused.
    bool badRequest = false;
    std::string reason;
};

// The faces wholly on the canvas (with a pixel to spare) that connect by shared sides to the
// face nearest the centre (of the largest such group, should a face cut off by the canvas's
// edge lie nearer), built breadth first from it; with `colour`, then each filled.
std::variant<TilingDrawing, TilingFailure> GenerateTiling(const TilingCell& cell,
                                                          const TilingOptions& options);

} // namespace quillet
