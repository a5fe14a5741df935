#pragma once
// A read project made the drawing, without a window: the window's Load Project and the tool
// both go through here, so that what they show cannot differ.

#include "drawing/drawing_state.h"
#include "platform/surface.h"
#include "project/project_format.h"

#include <functional>
#include <vector>

namespace quillet {

// The pictures a loaded drawing owns: the canvas, and the two pictures fill undo goes back to.
struct LoadPictures {
    Surface& canvas;
    Surface& undo1;
    Surface& undo2;
};

// Told how many fills of how many are painted; returning false stops the replay.
using ReplayProgress = std::function<bool(long long done, long long total)>;

// Puts the project's points, lines and fills into `state` as a drawing just opened (undo
// starting at it, fill undo at its last two fills), draws the lines on the canvas and replays
// the fills, the canvas being of the window's size. With `painters`, also gives, for each pixel
// of the canvas (row by row), the number of the last fill that changed its colour, 0 where none
// did; how the fills are replayed does not depend on it. Returns false when `progress` stopped
// the replay: the state and pictures are then half made, for the caller to put back.
bool ApplyProject(const ProjectData& data, DrawingState& state, LoadPictures pictures,
                  const ReplayProgress& progress, std::vector<int>* painters = nullptr);

} // namespace quillet
