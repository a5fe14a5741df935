// Writes one file under a file-size limit, so the tests can watch a save fail for real.
//
//   write_probe project|bitmap|std PATH BYTES [LIMIT]
//
// project: BYTES of project text through the Qt writer; bitmap: a square image whose bitmap
// has at least BYTES bytes through the Qt export; std: the project text through the headless
// writer. With LIMIT the process may not make any file larger than LIMIT bytes. Prints "ok"
// and exits 0, or prints the reason and exits 1. With WRITE_PROBE_STOP in the environment the
// probe stops itself (SIGSTOP) just before the write, for a tracer to count from there.

#include "platform/file_write.h"
#include "platform/qtgui/file_output.h"
#include "platform/surface.h"

#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <sys/resource.h>

using namespace quillet;

namespace {

// Text that changes along its length, so a truncated file never equals the whole one.
std::string ProjectText(std::size_t size) {
    std::string text;
    text.reserve(size);
    for (std::size_t i = 0; text.size() < size; ++i) {
        text += "<Line " + std::to_string(i) + ">\r\n";
    }
    text.resize(size);
    return text;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 5) {
        std::fprintf(stderr, "usage: write_probe project|bitmap|std PATH BYTES [LIMIT]\n");
        return 2;
    }
    const std::string mode = argv[1];
    const std::string path = argv[2];
    const auto size = static_cast<std::size_t>(std::strtoull(argv[3], nullptr, 10));

    // Prepared before the limit, so only the file itself meets it.
    std::optional<std::string> text;
    std::optional<Surface> image;
    if (mode == "bitmap") {
        // 3 bytes a pixel; the header and the row padding only add to it.
        const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(size) / 3)));
        image.emplace(side, side);
        for (int i = 0; i < side; ++i) {
            image->SetPixel(i, i, RGB(i % 256, 0, 255));
        }
    } else if (mode == "project" || mode == "std") {
        text = ProjectText(size);
    } else {
        std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
        return 2;
    }

    if (argc == 5) {
        // A write past the limit then fails with EFBIG instead of killing the process.
        std::signal(SIGXFSZ, SIG_IGN);
        const auto limit = static_cast<rlim_t>(std::strtoull(argv[4], nullptr, 10));
        const rlimit fileSize{limit, limit};
        if (::setrlimit(RLIMIT_FSIZE, &fileSize) != 0) {
            std::perror("setrlimit");
            return 2;
        }
    }

    if (std::getenv("WRITE_PROBE_STOP") != nullptr) {
        std::raise(SIGSTOP);
    }
    std::optional<std::string> reason;
    if (mode == "bitmap") {
        reason = ExportBitmapQt(*image, path);
    } else if (mode == "project") {
        reason = WriteFileAtomicallyQt(
            path, QByteArrayView(text->data(), static_cast<qsizetype>(text->size())));
    } else {
        reason = WriteFileAtomicallyStd(path, *text);
    }
    std::puts(reason ? reason->c_str() : "ok");
    return reason ? 1 : 0;
}
