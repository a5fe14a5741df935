// quillet-tool generate: a classic tiling as a drawing, made by the window's own clicks.

#include "app/tiling_generator.h"
#include "app/tilings.h"
#include "project/numbers.h"
#include "project/project_format.h"
#include "tool/output.h"
#include "tool/tool.h"

#include <charconv>
#include <cmath>
#include <ostream>
#include <variant>

namespace quillet::tool {

namespace {

constexpr const char* GENERATE_USAGE =
    "Usage: quillet-tool generate NAME OUT.qlf [--side PX] [--centre X,Y] [--colour]\n"
    "Builds a tiling by regular polygons as a Quillet drawing covering the canvas, polygon by\n"
    "polygon as the window's clicks build it, outwards from the polygon nearest the centre.\n"
    "NAME is an Archimedean tiling by its vertex type (3.4.6.4, 3^2.4.3.4, 4.8^2, 6^3) or a\n"
    "two-uniform one by its two types in brackets, with 1 or 2 where two share them\n"
    "([3^6; 3^2.4.3.4], [3^3.4^2; 4^4]1); either exponent form, any rotation or reflection.\n"
    "  --side PX     the side of the polygons in pixels, 1 to 581 (default: the largest\n"
    "                whole number that leaves at least 40 corners with polygons all round)\n"
    "  --centre X,Y  where the tiling is centred (default: the canvas centre)\n"
    "  --colour      fill each polygon by its corners: triangles yellow, squares red,\n"
    "                hexagons blue, octagons cyan, dodecagons magenta\n"
    "OUT '-' writes the drawing to standard output.\n";

void ListNames(std::ostream& out) {
    out << "Known tilings:\n";
    std::size_t width = 1;
    out << " ";
    for (const TilingCell& cell : Tilings()) {
        if (width + cell.name.size() + 1 > 78) {
            out << "\n ";
            width = 1;
        }
        out << " " << cell.name;
        width += cell.name.size() + 1;
    }
    out << "\n";
}

// A whole argument as a finite number, '.' as the decimal point whatever the locale.
bool ParseDouble(std::string_view text, double& value) {
    if (text.empty() || text.front() == '+') {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && std::isfinite(value);
}

int Usage(Io io, const std::string& message) {
    io.err << "quillet-tool generate: " << message << "\n" << GENERATE_USAGE;
    return EXIT_USAGE;
}

} // namespace

int RunGenerate(const std::vector<std::string>& args, Io io) {
    std::vector<std::string> positional;
    TilingOptions options;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
            positional.push_back(arg);
        } else if (arg == "--") {
            optionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
            io.out << GENERATE_USAGE;
            ListNames(io.out);
            return EXIT_OK;
        } else if (arg == "--colour") {
            options.colour = true;
        } else if (arg == "--side" || arg == "--centre") {
            if (i + 1 == args.size()) {
                return Usage(io, arg + " needs a value.");
            }
            const std::string& value = args[++i];
            if (arg == "--side") {
                double side = 0;
                if (!ParseDouble(value, side)) {
                    return Usage(io, "--side takes a number of pixels, not '" + value + "'.");
                }
                options.side = side;
            } else {
                const std::size_t comma = value.find(',');
                double x = 0, y = 0;
                if (comma == std::string::npos ||
                    !ParseDouble(std::string_view(value).substr(0, comma), x) ||
                    !ParseDouble(std::string_view(value).substr(comma + 1), y)) {
                    return Usage(io, "--centre takes X,Y in pixels (e.g. 290,246.5), not '" +
                                         value + "'.");
                }
                options.centre = udtPoint{x, y};
            }
        } else {
            return Usage(io, "unknown option '" + arg + "'.");
        }
    }
    if (positional.size() != 2) {
        return Usage(io, "give the tiling's name and one output file.");
    }
    const std::string& name = positional[0];
    const std::string& out = positional[1];
    if (out != "-" && LowerEnding(out) != ".qlf") {
        return Usage(io, "'" + out + "' must end in .qlf.");
    }
    bool needsSuffix = false;
    const TilingCell* cell = FindTiling(name, &needsSuffix);
    if (cell == nullptr) {
        // A 1 or 2 given to types that only one tiling has.
        const std::size_t close = name.rfind(']');
        const TilingCell* unsuffixed = close != std::string::npos && close + 1 < name.size()
                                           ? FindTiling(std::string_view(name).substr(0, close + 1))
                                           : nullptr;
        io.err << "quillet-tool generate: '" << name << "' "
               << (needsSuffix ? "names two tilings: add 1 or 2 after the bracket"
                   : unsuffixed != nullptr
                       ? "has a 1 or 2 too many: only one tiling has these types, '" +
                             unsuffixed->name + "'"
                       : std::string("is not a tiling this program knows"))
               << ".\n";
        ListNames(io.err);
        return EXIT_USAGE;
    }
    const auto made = GenerateTiling(*cell, options);
    if (const auto* failure = std::get_if<TilingFailure>(&made)) {
        io.err << "quillet-tool generate: " << cell->name << ": " << failure->reason
               << "; nothing written.\n";
        return failure->badRequest ? EXIT_USAGE : EXIT_FAILED;
    }
    const TilingDrawing& drawing = std::get<TilingDrawing>(made);
    const std::string bytes = WriteProject(drawing.data, LocaleDecimalSeparator());
    const int status = WriteOutput(out, QByteArray::fromStdString(bytes), "generate", io);
    if (status == EXIT_OK && out != "-") {
        io.out << cell->name << ": " << drawing.polygons
               << (drawing.polygons == 1 ? " polygon" : " polygons") << " of side " << drawing.side
               << " px, " << drawing.surrounded << " corners with polygons all round"
               << (drawing.data.fills.empty() ? "" : ", each polygon filled") << ", written to "
               << out << "\n";
        return OutputDelivered(io, "quillet-tool generate") ? EXIT_OK : EXIT_FAILED;
    }
    return status;
}

} // namespace quillet::tool
