#pragma once
// quillet-tool: drawings checked, analysed, rendered and exported without the window. Every
// command shares the window's reader, canvas and fill replay.

#include "app/controls.h"
#include "drawing/drawing_state.h"
#include "platform/surface.h"

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace quillet::tool {

// Exit statuses: 0 success, 1 a file failed (check found a fault, a write failed), 2 bad usage.
inline constexpr int EXIT_OK = 0;
inline constexpr int EXIT_FAILED = 1;
inline constexpr int EXIT_USAGE = 2;

struct Io {
    std::ostream& out;
    std::ostream& err;
};

// A drawing loaded exactly as the window loads it (lines drawn, fills replayed), on a
// canvas of the window's size.
struct LoadedDrawing {
    DrawingState state;
    Surface canvas{CANVAS_WIDTH, CANVAS_HEIGHT};
    Surface undo1{CANVAS_WIDTH, CANVAS_HEIGHT};
    Surface undo2{CANVAS_WIDTH, CANVAS_HEIGHT};
    // With LoadDrawing's `painters`: for each pixel of the canvas, the last fill that changed
    // its colour (0: none).
    std::vector<int> painters;
};

// Nothing, with the reason in `error`, when the file cannot be opened.
std::unique_ptr<LoadedDrawing> LoadDrawing(const std::string& path, std::string& error,
                                           bool painters = false);

// Each command takes the arguments after its name.
int RunCheck(const std::vector<std::string>& args, Io io);
int RunInfo(const std::vector<std::string>& args, Io io);
int RunRender(const std::vector<std::string>& args, Io io);
int RunExport(const std::vector<std::string>& args, Io io);
int RunGenerate(const std::vector<std::string>& args, Io io);

// The decimal separator of the user's locale.
char LocaleDecimalSeparator();

} // namespace quillet::tool
