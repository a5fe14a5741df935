// quillet-tool info: what a drawing is made of, as text or JSON.

#include "tool/output.h"
#include "tool/tool.h"

#include "analysis/analysis.h"
#include "analysis/report.h"
#include "project/numbers.h"
#include "project/project_format.h"

#include <ostream>
#include <variant>

namespace quillet::tool {

namespace {

constexpr const char* INFO_USAGE =
    "Usage: quillet-tool info FILE [--json]\n"
    "Describes FILE: its counts and bounds, what lies off the canvas, corners and lines that\n"
    "differ by rounding only (drift), the closed faces its lines form and which are regular\n"
    "polygons, the vertex configuration at each corner, corners where polygons overlap, and\n"
    "lines that cross. --json prints every detail as JSON with stable keys.\n";

} // namespace

int RunInfo(const std::vector<std::string>& args, Io io) {
    bool json = false;
    bool optionsEnded = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            io.out << INFO_USAGE;
            return EXIT_OK;
        } else if (!optionsEnded && arg == "--json") {
            json = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            io.err << "quillet-tool info: unknown option '" << arg << "'.\n" << INFO_USAGE;
            return EXIT_USAGE;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1) {
        io.err << "quillet-tool info: "
               << (files.empty() ? "no file given." : "give one drawing only.") << "\n"
               << INFO_USAGE;
        return EXIT_USAGE;
    }
    const std::string& path = files[0];
    // Never opened: reading a FIFO or a device could block for ever or never end.
    if (!FileExists(path)) {
        io.err << "quillet-tool: " << path << ": does not exist or is not a regular file\n";
        return EXIT_FAILED;
    }
    const auto parsed = ParseProjectFile(path, LocaleDecimalSeparator());
    if (const auto* error = std::get_if<ProjectError>(&parsed)) {
        io.err << "quillet-tool: " << path << ": " << error->Describe() << "\n";
        return EXIT_FAILED;
    }
    const analysis::Analysis result = analysis::Analyse(std::get<ProjectData>(parsed));
    io.out << (json ? analysis::InfoJson(result, path) : analysis::InfoText(result, path));
    return OutputDelivered(io, "quillet-tool info") ? EXIT_OK : EXIT_FAILED;
}

} // namespace quillet::tool
