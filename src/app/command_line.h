#pragma once
// The project named on the command line: what start-up opens, and what it leaves unopened.

#include <optional>
#include <string>

namespace quillet {

// The text of the command line, quotes handled as at start-up: the arguments joined by single
// spaces, then at most one '"' removed from the end and one from the start.
std::string MakeCmdLine(int argc, const char* const* argv);

// Why Form_Load leaves the project named on the command line unopened ("not a .qlf file", "no
// such file", "it is a folder", or the system's reason), for a terminal; nothing when it opens
// it or when nothing is named.
std::optional<std::string> CmdLineNotOpenedReason(const std::string& cmdLine);

} // namespace quillet
