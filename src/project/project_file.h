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

// Reads at most `limit` bytes of the file; nothing when it cannot be read. A project's
// meaningful content is far smaller than the limit, so a huge file costs bounded memory.
std::optional<std::string> ReadFilePrefix(const std::string& path, std::size_t limit);

inline constexpr std::size_t PROJECT_READ_LIMIT = 256u * 1024u * 1024u;

} // namespace quillet
