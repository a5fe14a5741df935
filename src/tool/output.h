#pragma once
// Where the tool's results go: a file, written whole or not at all, or standard output.

#include "tool/tool.h"

#include <QByteArray>

namespace quillet::tool {

// "-" is standard output. Returns the exit status; failures are reported on io.err.
int WriteOutput(const std::string& path, const QByteArray& bytes, const char* command, Io io);

// Flushes io.out. False, said on io.err by `who` with the system's reason where it is known,
// when anything written to it was lost: a full disk, a closed output, a reader that has gone.
bool OutputDelivered(Io io, const std::string& who);

} // namespace quillet::tool
