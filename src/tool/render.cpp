// quillet-tool render: the picture the window shows for a file, pixel for pixel.

#include "geometry/render.h"
#include "platform/qtgui/file_output.h"
#include "project/numbers.h"
#include "tool/output.h"
#include "tool/tool.h"

#include <ostream>

namespace quillet::tool {

namespace {

constexpr const char* RENDER_USAGE =
    "Usage: quillet-tool render FILE OUT.png|OUT.bmp [--points]\n"
    "Writes the picture that opening FILE in Quillet shows: the lines, then the fills\n"
    "replayed. --points adds the corners as the redraw button draws them. The .bmp is the\n"
    "same file as the window's bitmap export. OUT '-' writes a PNG to standard output.\n";

} // namespace

int RunRender(const std::vector<std::string>& args, Io io) {
    std::vector<std::string> files;
    bool points = false;
    for (const std::string& arg : args) {
        if (arg == "--help") {
            io.out << RENDER_USAGE;
            return EXIT_OK;
        }
        if (arg == "--points") {
            points = true;
        } else if (arg.size() > 1 && arg[0] == '-') {
            io.err << "quillet-tool render: unknown option '" << arg << "'.\n" << RENDER_USAGE;
            return EXIT_USAGE;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 2) {
        io.err << "quillet-tool render: give one drawing and one output file.\n" << RENDER_USAGE;
        return EXIT_USAGE;
    }
    const std::string& out = files[1];
    const std::string ending = LowerEnding(out);
    if (out != "-" && ending != ".png" && ending != ".bmp") {
        io.err << "quillet-tool render: '" << out << "' must end in .png or .bmp.\n";
        return EXIT_USAGE;
    }
    std::string error;
    std::unique_ptr<LoadedDrawing> drawing = LoadDrawing(files[0], error);
    if (!drawing) {
        io.err << "quillet-tool render: " << error << "\n";
        return EXIT_FAILED;
    }
    if (points) {
        RedrawAll(drawing->state, drawing->canvas);
    }
    const Surface& canvas = drawing->canvas;
    const QByteArray bytes =
        ending == ".bmp" ? EncodeBitmap(canvas) : EncodeImage(ToQImage(canvas), "png");
    return WriteOutput(out, bytes, "render", io);
}

} // namespace quillet::tool
