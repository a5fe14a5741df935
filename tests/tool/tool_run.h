#pragma once
// A quillet-tool command run in-process, its outputs caught.

#include "tool/tool.h"

#include <sstream>
#include <string>
#include <vector>

namespace quillet::testing {

struct ToolRun {
    int status;
    std::string out;
    std::string err;
};

inline ToolRun Tool(int (*command)(const std::vector<std::string>&, tool::Io),
                    std::vector<std::string> args) {
    std::ostringstream out, err;
    const int status = command(args, tool::Io{out, err});
    return {status, out.str(), err.str()};
}

} // namespace quillet::testing
