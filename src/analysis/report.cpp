#include "analysis/report.h"

#include <charconv>
#include <cmath>
#include <map>
#include <sstream>

namespace quillet::analysis {

namespace {

// Locale-free, so that a comma locale never reaches the output.
std::string Number(double value, int precision) {
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, precision);
    return std::string(buffer, result.ptr);
}

std::string Coordinate(double v) {
    return Number(v, 10);
}

std::string At(udtPoint p) {
    return "(" + Coordinate(p.X) + ", " + Coordinate(p.Y) + ")";
}

std::string Plural(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// Regular faces by their number of corners.
std::map<int, int> RegularByCorners(const Analysis& a) {
    std::map<int, int> count;
    for (const Face& f : a.faces) {
        if (f.regular) {
            ++count[static_cast<int>(f.corners.size())];
        }
    }
    return count;
}

// The first TEXT_DETAILS entries, one a line, and how many more there are of `total`.
template <class T, class F>
void ListSome(std::ostringstream& out, const std::vector<T>& items, F describe,
              long long total = -1) {
    const std::size_t shown = std::min<std::size_t>(items.size(), TEXT_DETAILS);
    for (std::size_t i = 0; i < shown; ++i) {
        out << "  " << describe(items[i]) << "\n";
    }
    const long long all = std::max(total, static_cast<long long>(items.size()));
    if (all > static_cast<long long>(shown)) {
        out << "  ... and " << all - static_cast<long long>(shown) << " more\n";
    }
}

// Arrays of objects, one element a line.
template <class T, class F>
std::string JsonArray(const std::vector<T>& items, F element, const std::string& indent) {
    if (items.empty()) {
        return "[]";
    }
    std::string text = "[";
    for (std::size_t i = 0; i < items.size(); ++i) {
        text += (i == 0 ? "\n" : ",\n") + indent + "  " + element(items[i]);
    }
    return text + "\n" + indent + "]";
}

std::string JsonPoint(udtPoint p) {
    return "[" + JsonNumber(p.X) + ", " + JsonNumber(p.Y) + "]";
}

std::string JsonBool(bool b) {
    return b ? "true" : "false";
}

} // namespace

std::string JsonNumber(double value) {
    if (!std::isfinite(value)) {
        return "null";
    }
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value); // shortest exact
    return std::string(buffer, result.ptr);
}

std::string JsonString(std::string_view bytes) {
    static constexpr char HEX[] = "0123456789abcdef";
    std::string out = "\"";
    auto escapeByte = [&](unsigned char b) {
        out += "\\u00";
        out += HEX[b >> 4];
        out += HEX[b & 15];
    };
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b == '"' || b == '\\') {
            out += '\\';
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        if (b < 0x20 || b == 0x7f) {
            escapeByte(b);
            ++i;
            continue;
        }
        if (b < 0x80) {
            out += static_cast<char>(b);
            ++i;
            continue;
        }
        // A well-formed UTF-8 sequence: no overlong forms, surrogates or code points beyond
        // U+10FFFF.
        std::size_t length = 0;
        unsigned char lo = 0x80, hi = 0xbf;
        if (b >= 0xc2 && b <= 0xdf) {
            length = 2;
        } else if (b >= 0xe0 && b <= 0xef) {
            length = 3;
            lo = b == 0xe0 ? 0xa0 : 0x80;
            hi = b == 0xed ? 0x9f : 0xbf;
        } else if (b >= 0xf0 && b <= 0xf4) {
            length = 4;
            lo = b == 0xf0 ? 0x90 : 0x80;
            hi = b == 0xf4 ? 0x8f : 0xbf;
        }
        bool valid = length > 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto c = static_cast<unsigned char>(bytes[i + k]);
            valid = k == 1 ? (c >= lo && c <= hi) : (c >= 0x80 && c <= 0xbf);
        }
        if (valid) {
            out.append(bytes.substr(i, length));
            i += length;
        } else {
            escapeByte(b);
            ++i;
        }
    }
    return out + "\"";
}

std::string InfoText(const Analysis& a, const std::string& file) {
    std::ostringstream out;
    out << "File: " << file << "\n";
    out << "Points " << a.points << ", lines " << a.lines << ", fills " << a.fills << "\n";
    if (a.points + a.lines > 0) {
        out << "Bounds: x " << Coordinate(a.bounds.minX) << " to " << Coordinate(a.bounds.maxX)
            << ", y " << Coordinate(a.bounds.minY) << " to " << Coordinate(a.bounds.maxY) << "\n";
    }
    out << "Off the canvas (" << CANVAS_WIDTH << " x " << CANVAS_HEIGHT
        << "): " << Plural(static_cast<std::size_t>(a.pointsOutside), "point", "points") << ", "
        << Plural(static_cast<std::size_t>(a.linesPartlyOutside), "line", "lines") << " partly, "
        << Plural(static_cast<std::size_t>(a.linesOutside), "line", "lines") << " wholly\n";
    out << "Tolerance: " << Number(a.tolerance, 6) << " px (corners this close are one corner)\n";

    if (a.linesLeftOutTotal > 0) {
        out << "Left out: "
            << Plural(static_cast<std::size_t>(a.linesLeftOutTotal), "line", "lines")
            << " with an end beyond " << Number(MAX_COORDINATE, 3)
            << " px or not a number, which the exact arithmetic cannot take\n";
        ListSome(
            out, a.linesLeftOut, [](int line) { return "line " + std::to_string(line); },
            a.linesLeftOutTotal);
    }

    out << "Drift: " << Plural(static_cast<std::size_t>(a.nearPointsTotal), "pair", "pairs")
        << " of near points, "
        << Plural(static_cast<std::size_t>(a.nearLinesTotal), "pair", "pairs")
        << " of near lines\n";
    auto nearPair = [](const char* what) {
        return [what](const auto& pair) {
            return std::string(what) + " " + std::to_string(pair.a) + " and " +
                   std::to_string(pair.b) + ": " + Number(pair.distance, 3) + " px apart";
        };
    };
    ListSome(out, a.nearPoints, nearPair("points"), a.nearPointsTotal);
    ListSome(out, a.nearLines, nearPair("lines"), a.nearLinesTotal);
    if (!a.refused.empty()) {
        out << "Faces, corners and crossings: not found, the drawing " << a.refused << "\n";
        return out.str();
    }

    const std::map<int, int> byCorners = RegularByCorners(a);
    int regular = 0;
    std::string kinds;
    for (const auto& [n, count] : byCorners) {
        regular += count;
        kinds += (kinds.empty() ? "" : ", ") + std::to_string(count) + " with " +
                 std::to_string(n) + " corners";
    }
    out << "Faces: " << a.faces.size() << ", " << regular << " regular"
        << (kinds.empty() ? "" : " (" + kinds + ")") << "\n";

    int surrounded = 0;
    for (const Corner& c : a.corners) {
        surrounded += c.surrounded ? 1 : 0;
    }
    out << "Corners: " << a.corners.size() << ", " << surrounded
        << " surrounded by regular polygons\n";
    if (!a.configurations.empty()) {
        out << "Configurations:\n";
        for (const auto& [configuration, count] : a.configurations) {
            out << "  " << configuration << "  x" << count << "\n";
        }
    }

    out << "Overfull corners: " << a.overfullCorners.size() << "\n";
    ListSome(out, a.overfullCorners, [&a](int i) {
        const Corner& c = a.corners[static_cast<std::size_t>(i)];
        return At(c.at) + ": polygons of " + Number(c.polygonAngleSum, 10) + " degrees";
    });
    out << "Crossings: " << a.crossingsTotal << "\n";
    ListSome(
        out, a.crossings,
        [](const Crossing& c) {
            return "lines " + std::to_string(c.a) + " and " + std::to_string(c.b) +
                   (c.overlap ? " overlap at " : " cross at ") + At(c.at);
        },
        a.crossingsTotal);
    return out.str();
}

std::string InfoJson(const Analysis& a, const std::string& file) {
    std::string j = "{\n";
    auto key = [&j](const char* name, const std::string& value, bool last = false) {
        j += std::string("  \"") + name + "\": " + value + (last ? "\n" : ",\n");
    };
    auto num = [](int v) { return std::to_string(v); };

    key("file", JsonString(file));
    key("tolerance", JsonNumber(a.tolerance));
    key("counts", "{\"points\": " + num(a.points) + ", \"lines\": " + num(a.lines) +
                      ", \"fills\": " + num(a.fills) + "}");
    key("bounds", "{\"min_x\": " + JsonNumber(a.bounds.minX) + ", \"min_y\": " +
                      JsonNumber(a.bounds.minY) + ", \"max_x\": " + JsonNumber(a.bounds.maxX) +
                      ", \"max_y\": " + JsonNumber(a.bounds.maxY) + "}");
    key("off_canvas", "{\"width\": " + num(CANVAS_WIDTH) + ", \"height\": " + num(CANVAS_HEIGHT) +
                          ", \"points\": " + num(a.pointsOutside) +
                          ", \"lines_partly\": " + num(a.linesPartlyOutside) +
                          ", \"lines_wholly\": " + num(a.linesOutside) + "}");
    auto pair = [](int x, int y, double distance) {
        return "{\"a\": " + std::to_string(x) + ", \"b\": " + std::to_string(y) +
               ", \"distance\": " + JsonNumber(distance) + "}";
    };
    key("drift", "{\n    \"near_points\": " +
                     JsonArray(
                         a.nearPoints,
                         [&](const NearPoints& p) { return pair(p.a, p.b, p.distance); }, "    ") +
                     ",\n    \"near_lines\": " +
                     JsonArray(
                         a.nearLines,
                         [&](const NearLines& l) { return pair(l.a, l.b, l.distance); }, "    ") +
                     ",\n    \"near_points_total\": " + std::to_string(a.nearPointsTotal) +
                     ", \"near_lines_total\": " + std::to_string(a.nearLinesTotal) + "\n  }");

    const std::map<int, int> byCorners = RegularByCorners(a);
    int regular = 0;
    std::string kinds;
    for (const auto& [n, count] : byCorners) {
        regular += count;
        kinds += (kinds.empty() ? "\"" : ", \"") + std::to_string(n) + "\": " + num(count);
    }
    key("faces",
        "{\"count\": " + std::to_string(a.faces.size()) + ", \"regular\": " + num(regular) +
            ", \"by_corners\": {" + kinds + "},\n    \"list\": " +
            JsonArray(
                a.faces,
                [](const Face& f) {
                    std::string corners;
                    for (const udtPoint& p : f.corners) {
                        corners += (corners.empty() ? "" : ", ") + JsonPoint(p);
                    }
                    return "{\"corners\": [" + corners + "], \"regular\": " + JsonBool(f.regular) +
                           ", \"area\": " + JsonNumber(f.area) +
                           ", \"holes\": " + std::to_string(f.holes) + "}";
                },
                "    ") +
            "}");

    key("corners", JsonArray(
                       a.corners,
                       [](const Corner& c) {
                           std::string around;
                           for (const int n : c.around) {
                               around += (around.empty() ? "" : ", ") + std::to_string(n);
                           }
                           return "{\"x\": " + JsonNumber(c.at.X) +
                                  ", \"y\": " + JsonNumber(c.at.Y) + ", \"around\": [" + around +
                                  "], \"surrounded\": " + JsonBool(c.surrounded) +
                                  ", \"configuration\": " +
                                  (c.surrounded ? JsonString(c.configuration) : "null") +
                                  ", \"angle_sum\": " + JsonNumber(c.angleSum) +
                                  ", \"polygon_angle_sum\": " + JsonNumber(c.polygonAngleSum) + "}";
                       },
                       "  "));

    std::string configurations;
    for (const auto& [configuration, count] : a.configurations) {
        configurations +=
            (configurations.empty() ? "" : ", ") + JsonString(configuration) + ": " + num(count);
    }
    key("configurations", "{" + configurations + "}");

    key("overfull_corners",
        JsonArray(
            a.overfullCorners,
            [&a](int i) {
                const Corner& c = a.corners[static_cast<std::size_t>(i)];
                return "{\"corner\": " + std::to_string(i) + ", \"x\": " + JsonNumber(c.at.X) +
                       ", \"y\": " + JsonNumber(c.at.Y) +
                       ", \"polygon_angle_sum\": " + JsonNumber(c.polygonAngleSum) + "}";
            },
            "  "));
    key("crossings",
        JsonArray(
            a.crossings,
            [](const Crossing& c) {
                return "{\"a\": " + std::to_string(c.a) + ", \"b\": " + std::to_string(c.b) +
                       ", \"x\": " + JsonNumber(c.at.X) + ", \"y\": " + JsonNumber(c.at.Y) +
                       ", \"overlap\": " + JsonBool(c.overlap) + "}";
            },
            "  "));
    key("crossings_total", std::to_string(a.crossingsTotal));
    std::string leftOut;
    for (const int line : a.linesLeftOut) {
        leftOut += (leftOut.empty() ? "" : ", ") + std::to_string(line);
    }
    key("left_out", "{\"max_coordinate\": " + JsonNumber(MAX_COORDINATE) + ", \"lines\": [" +
                        leftOut + "], \"lines_total\": " + std::to_string(a.linesLeftOutTotal) +
                        "}");
    key("refused", a.refused.empty() ? "null" : JsonString(a.refused), true);
    return j + "}\n";
}

} // namespace quillet::analysis
