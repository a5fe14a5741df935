// quillet-tool: checks, analyses, renders and exports Quillet drawings without the window.

#include "tool/tool.h"

#include <iostream>
#include <string>
#include <vector>

namespace {

constexpr const char* USAGE =
    "Usage: quillet-tool COMMAND [ARGUMENTS]\n"
    "Checks, analyses, renders and exports Quillet drawings (.qlf) without the window.\n"
    "\n"
    "Commands:\n"
    "  check FILE...                          say for each file whether it opens, or why not\n"
    "  info FILE [--json]                     counts, drift, faces and vertex configurations\n"
    "  render FILE OUT.png|OUT.bmp [--points] the picture the window shows for the file\n"
    "  export FILE OUT.svg|OUT.pdf|OUT.png [--scale S] [--points] [--no-fills]\n"
    "                                         the drawing as vectors, at any size\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help (COMMAND --help shows the command's)\n"
    "  --version      show the version\n";

} // namespace

int main(int argc, char* argv[]) {
    using namespace quillet::tool;
    const std::vector<std::string> args(argv + 1, argv + argc);
    const Io io{std::cout, std::cerr};
    if (args.empty()) {
        std::cerr << USAGE;
        return EXIT_USAGE;
    }
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "-h" || command == "--help") {
        std::cout << USAGE;
        return EXIT_OK;
    }
    if (command == "--version") {
        std::cout << "quillet-tool " << QUILLET_VERSION << "\n";
        return EXIT_OK;
    }
    if (command == "check") {
        return RunCheck(rest, io);
    }
    if (command == "info") {
        return RunInfo(rest, io);
    }
    if (command == "render") {
        return RunRender(rest, io);
    }
    if (command == "export") {
        return RunExport(rest, io);
    }
    std::cerr << "quillet-tool: unknown command '" << command << "'; see 'quillet-tool --help'.\n";
    return EXIT_USAGE;
}
