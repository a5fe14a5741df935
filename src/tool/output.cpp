#include "tool/output.h"

#include "platform/qtgui/file_output.h"

#include <ostream>

namespace quillet::tool {

int WriteOutput(const std::string& path, const QByteArray& bytes, const char* command, Io io) {
    if (bytes.isEmpty()) {
        io.err << "quillet-tool " << command << ": the output could not be made.\n";
        return EXIT_FAILED;
    }
    if (path == "-") {
        io.out.write(bytes.constData(), bytes.size());
        io.out.flush();
        if (!io.out) {
            io.err << "quillet-tool " << command << ": cannot write to standard output.\n";
            return EXIT_FAILED;
        }
        return EXIT_OK;
    }
    if (const std::optional<std::string> reason = WriteFileAtomicallyQt(path, bytes)) {
        io.err << "quillet-tool " << command << ": cannot write '" << path << "': " << *reason
               << "\n";
        return EXIT_FAILED;
    }
    return EXIT_OK;
}

} // namespace quillet::tool
