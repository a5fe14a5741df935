#pragma once
// Where the tool's results go: a file, written whole or not at all, or standard output.

#include "tool/tool.h"

#include <QByteArray>

namespace quillet::tool {

// "-" is standard output. Returns the exit status; failures are reported on io.err.
int WriteOutput(const std::string& path, const QByteArray& bytes, const char* command, Io io);

} // namespace quillet::tool
