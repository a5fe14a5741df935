#include "tool/output.h"

#include "platform/qtgui/file_output.h"

#include <cerrno>
#include <cstring>
#include <ostream>

namespace quillet::tool {

int WriteOutput(const std::string& path, const QByteArray& bytes, const char* command, Io io) {
    if (bytes.isEmpty()) {
        io.err << "quillet-tool " << command << ": the output could not be made.\n";
        return EXIT_FAILED;
    }
    if (path == "-") {
        io.out.write(bytes.constData(), bytes.size());
        return OutputDelivered(io, std::string("quillet-tool ") + command) ? EXIT_OK : EXIT_FAILED;
    }
    if (const std::optional<std::string> reason = WriteFileAtomicallyQt(path, bytes)) {
        io.err << "quillet-tool " << command << ": cannot write '" << path << "': " << *reason
               << "\n";
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

bool OutputDelivered(Io io, const std::string& who) {
    errno = 0;
    io.out.flush();
    if (io.out) {
        return true;
    }
    // Known when the flush itself failed; a stream that failed earlier does not try again.
    const int error = errno;
    io.err << who << ": cannot write to standard output"
           << (error != 0 ? std::string(": ") + std::strerror(error) : std::string()) << ".\n";
    return false;
}

} // namespace quillet::tool
