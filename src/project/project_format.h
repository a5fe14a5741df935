#pragma once
// The project file: points, lines and flood fills between a fixed header and trailer, one item
// a line. Text to data and back only; applying a file to the drawing happens elsewhere.

#include "drawing/drawing_state.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillet {

struct ProjectData {
    std::vector<udtPoint> points;
    std::vector<udtLine> lines;
    std::vector<udtFill> fills;
    bool operator==(const ProjectData&) const = default;
};

struct ProjectError {
    int line; // 1-based; for a file that ends too early, the line that was expected
    std::string expected;
    std::string found;      // what stands there instead, shortened and made printable
    bool cancelled = false; // the reader was asked to stop; nothing is wrong with the file
    bool operator==(const ProjectError&) const = default;

    // "Line 5: expected ..., found ..." for the user.
    std::string Describe() const;
};

// Reports how far a read has come, in bytes of the whole; returning false stops the read.
using ReadProgress = std::function<bool(long long done, long long total)>;

// Longer lines make a file malformed, so that a huge file without line ends fails fast.
inline constexpr std::size_t MAX_PROJECT_LINE_BYTES = 65536;

// Lines end at CR LF or a lone CR; a lone LF is part of the line, so LF-only files fail.
// Either separator is read whatever decimalSeparator says; it only decides which of ',' and
// '.' groups digits in the numeric test.
std::variant<ProjectData, ProjectError> ParseProject(std::string_view bytes, char decimalSeparator);

// The same, reading the file as it parses: it stops at the first fault and after the last
// trailer line, and holds no more than about two of the longest allowed lines at a time.
std::variant<ProjectData, ProjectError>
ParseProjectFile(const std::string& path, char decimalSeparator, const ReadProgress& progress = {});

// The lists must hold at most MAX_ELEMENTS entries each, or the file will not read back.
std::string WriteProject(const ProjectData& data, char decimalSeparator);

} // namespace quillet
