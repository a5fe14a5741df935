#include "tool/tool.h"

#include "analysis/analysis.h"
#include "analysis/report.h"
#include "project/project_format.h"

#include <ostream>
#include <variant>

namespace quillet::tool {

namespace {

constexpr const char* USAGE_LINE = "usage: quillet-tool info FILE [--json]\n";

constexpr const char* HELP =
    "usage: quillet-tool info FILE [--json]\n"
    "\n"
    "Describes a project file: its counts and bounds, what lies off the canvas, corners and\n"
    "lines that drifted apart by rounding, the closed faces its lines form and which are\n"
    "regular polygons, the vertex configuration at each corner, corners where polygons\n"
    "overlap, and lines that cross.\n"
    "\n"
    "  --json   every detail as JSON, with stable keys\n"
    "  --help   this text\n";

} // namespace

int RunInfo(const std::vector<std::string>& args, Io io) {
    bool json = false;
    bool optionsEnded = false;
    std::vector<std::string> files;
    for (const std::string& arg : args) {
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && (arg == "--help" || arg == "-h")) {
            io.out << HELP;
            return EXIT_OK;
        } else if (!optionsEnded && arg == "--json") {
            json = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            io.err << "quillet-tool info: unknown option " << arg << "\n" << USAGE_LINE;
            return EXIT_USAGE;
        } else {
            files.push_back(arg);
        }
    }
    if (files.size() != 1) {
        io.err << "quillet-tool info: " << (files.empty() ? "no file given" : "one file only")
               << "\n"
               << USAGE_LINE;
        return EXIT_USAGE;
    }
    const std::string& path = files[0];
    const auto parsed = ParseProjectFile(path, LocaleDecimalSeparator());
    if (const auto* error = std::get_if<ProjectError>(&parsed)) {
        io.err << "quillet-tool: " << path << ": " << error->Describe() << "\n";
        return EXIT_FAILED;
    }
    const analysis::Analysis result = analysis::Analyse(std::get<ProjectData>(parsed));
    io.out << (json ? analysis::InfoJson(result, path) : analysis::InfoText(result, path));
    io.out.flush();
    if (!io.out) {
        io.err << "quillet-tool: the output could not be written\n";
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

} // namespace quillet::tool
