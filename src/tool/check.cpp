// quillet-tool check: whether each file opens in the window, and if not, exactly why.

#include "app/command_line.h"
#include "project/numbers.h"
#include "project/project_format.h"
#include "tool/output.h"
#include "tool/tool.h"

#include <algorithm>
#include <atomic>
#include <ostream>
#include <thread>

namespace quillet::tool {

namespace {

constexpr const char* CHECK_USAGE = "Usage: quillet-tool check FILE...\n"
                                    "Prints 'FILE: ok' for each file that opens in Quillet,\n"
                                    "else the line where it fails, what was expected there and\n"
                                    "what was found; a file that opens only through Load\n"
                                    "Project (its name does not end in .qlf) is ok with a note.\n"
                                    "Exit status 0 only when every file is ok.\n";

// The verdict on one file: empty when it opens; a file that opens with a note starts "ok".
std::string Verdict(const std::string& path, char decimalSeparator) {
    if (!FileExists(path)) {
        return "does not exist or is not a regular file";
    }
    const auto parsed = ParseProjectFile(path, decimalSeparator);
    if (const auto* error = std::get_if<ProjectError>(&parsed)) {
        return error->Describe();
    }
    if (CmdLineNotOpenedReason(path)) {
        return "ok through Load Project, but not from the command line or a double click: "
               "the name does not end in .qlf";
    }
    return {};
}

} // namespace

int RunCheck(const std::vector<std::string>& args, Io io) {
    if (std::find(args.begin(), args.end(), "--help") != args.end()) {
        io.out << CHECK_USAGE;
        return EXIT_OK;
    }
    if (args.empty()) {
        io.err << "quillet-tool check: no file given.\n" << CHECK_USAGE;
        return EXIT_USAGE;
    }
    // Thousands of small files: read them on every core, report in the order given.
    const char separator = LocaleDecimalSeparator();
    std::vector<std::string> verdicts(args.size());
    std::atomic<std::size_t> next{0};
    const unsigned workers =
        std::max(1u, std::min(std::thread::hardware_concurrency(),
                              static_cast<unsigned>(std::min<std::size_t>(args.size(), 64))));
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < workers; ++t) {
        threads.emplace_back([&] {
            for (std::size_t i; (i = next++) < args.size();) {
                verdicts[i] = Verdict(args[i], separator);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    bool allOk = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        allOk = allOk && (verdicts[i].empty() || verdicts[i].rfind("ok ", 0) == 0);
        io.out << args[i] << ": " << (verdicts[i].empty() ? "ok" : verdicts[i]) << "\n";
    }
    const bool delivered = OutputDelivered(io, "quillet-tool check");
    return allOk && delivered ? EXIT_OK : EXIT_FAILED;
}

} // namespace quillet::tool
