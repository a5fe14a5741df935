// libFuzzer target for the project file reader: any bytes either parse or give an error, and
// whatever parses writes back to a file that parses to the same data.
#include "project/project_format.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <variant>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (char sep : {',', '.'}) {
        auto parsed = quillet::ParseProject(bytes, sep);
        if (const auto* project = std::get_if<quillet::ProjectData>(&parsed)) {
            const std::string written = quillet::WriteProject(*project, sep);
            auto again = quillet::ParseProject(written, sep == ',' ? '.' : ',');
            const auto* back = std::get_if<quillet::ProjectData>(&again);
            if (back == nullptr || quillet::WriteProject(*back, sep) != written) {
                std::abort();
            }
        }
    }
    return 0;
}
