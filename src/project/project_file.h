#pragma once
// Saving and loading of project files as the main window does it. The text format itself
// (parser and writer, free of any drawing) is in project_format.h; here the drawing is
// collected for the writer, and a parsed file is applied: lines drawn, fills replayed.

#include "drawing/drawing_state.h"
#include "project/project_format.h"

#include <optional>
#include <string>

namespace quillet {

// The first count entries of each list, as the file holds them.
ProjectData CollectProject(const DrawingState& d);

} // namespace quillet
