// quillet-tool: checks, analyses, renders and exports Quillet drawings without the window.

#include "tool/output.h"
#include "tool/tool.h"

#include <cerrno>
#include <fcntl.h>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr const char* USAGE =
    "Usage: quillet-tool COMMAND [ARGUMENTS]\n"
    "Checks, analyses, renders and exports Quillet drawings (.qlf) without the window, and\n"
    "generates tilings as drawings.\n"
    "\n"
    "Commands:\n"
    "  check FILE...                          say for each file whether it opens, or why not\n"
    "  info FILE [--json]                     counts, drift, faces and vertex configurations\n"
    "  render FILE OUT.png|OUT.bmp [--points] the picture the window shows for the file\n"
    "  export FILE OUT.svg|OUT.pdf|OUT.png [--scale S] [--points] [--no-fills]\n"
    "                                         the drawing as vectors, at any size\n"
    "  generate NAME OUT.qlf [--side PX] [--centre X,Y] [--colour]\n"
    "                                         a classic tiling built as the window builds it\n"
    "\n"
    "Options:\n"
    "  -h, --help     show this help (COMMAND --help shows the command's)\n"
    "  --version      show the version\n";

// A standard descriptor the caller closed would go to the next file opened, and output meant
// for it into that file. Held open for reading only, it stays closed for writes: they fail.
void HoldClosedStandardDescriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && errno == EBADF) {
            // The lowest free descriptor: this one, as those below it are open.
            const int held = ::open("/dev/null", O_RDONLY);
            if (held != fd) {
                if (held >= 0) {
                    ::close(held);
                }
                return;
            }
        }
    }
}

int Run(const std::vector<std::string>& args, quillet::tool::Io io) {
    using namespace quillet::tool;
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
    if (command == "generate") {
        return RunGenerate(rest, io);
    }
    std::cerr << "quillet-tool: unknown command '" << command << "'; see 'quillet-tool --help'.\n";
    return EXIT_USAGE;
}

} // namespace

int main(int argc, char* argv[]) {
    using namespace quillet::tool;
    HoldClosedStandardDescriptors();
    const Io io{std::cout, std::cerr};
    const int status = Run(std::vector<std::string>(argv + 1, argv + argc), io);
    // The commands check what they print; the help texts, and what stdio still holds, are
    // checked here.
    if (status == EXIT_OK && !OutputDelivered(io, "quillet-tool")) {
        return EXIT_FAILED;
    }
    return status;
}
