#include "analysis/report.h"

#include <nlohmann/json.hpp>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>
#include <string_view>

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

// The document keeps its keys in the order they are added: the documented order.
using Json = nlohmann::ordered_json;

// File names are bytes: a byte that is no part of valid UTF-8 becomes the character of its
// value, U+0080 to U+00FF, so that the name keeps every byte and JSON only ever sees UTF-8.
std::string Utf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        // A well-formed sequence: no overlong forms, surrogates or code points beyond U+10FFFF.
        std::size_t length = 1;
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
        } else if (b >= 0x80) {
            length = 0;
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
            out += static_cast<char>(0xc0 | (b >> 6));
            out += static_cast<char>(0x80 | (b & 0x3f));
            ++i;
        }
    }
    return out;
}

// Whole numbers as integers, so that 300 reads 300 and not 300.0 (and a reader that tells
// integers from reals still sees one); -0 keeps its sign, NaN and infinities become null.
Json Real(double value) {
    constexpr double EXACT = 9007199254740992.0; // 2^53: every integer below it is a double
    if (std::trunc(value) == value && std::abs(value) < EXACT &&
        !(value == 0 && std::signbit(value))) {
        return static_cast<std::int64_t>(value);
    }
    return value;
}

} // namespace

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
    auto pair = [](int x, int y, double distance) {
        return Json{{"a", x}, {"b", y}, {"distance", Real(distance)}};
    };
    Json nearPoints = Json::array(), nearLines = Json::array();
    for (const NearPoints& p : a.nearPoints) {
        nearPoints.push_back(pair(p.a, p.b, p.distance));
    }
    for (const NearLines& l : a.nearLines) {
        nearLines.push_back(pair(l.a, l.b, l.distance));
    }

    int regular = 0;
    Json byCorners = Json::object();
    for (const auto& [n, count] : RegularByCorners(a)) {
        regular += count;
        byCorners[std::to_string(n)] = count;
    }
    Json faces = Json::array();
    for (const Face& f : a.faces) {
        Json corners = Json::array();
        for (const udtPoint& p : f.corners) {
            corners.push_back(Json::array({Real(p.X), Real(p.Y)}));
        }
        faces.push_back({{"corners", std::move(corners)},
                         {"regular", f.regular},
                         {"area", Real(f.area)},
                         {"holes", f.holes}});
    }

    Json corners = Json::array();
    for (const Corner& c : a.corners) {
        corners.push_back({{"x", Real(c.at.X)},
                           {"y", Real(c.at.Y)},
                           {"around", c.around},
                           {"surrounded", c.surrounded},
                           {"configuration", c.surrounded ? Json(Utf8(c.configuration)) : Json()},
                           {"angle_sum", Real(c.angleSum)},
                           {"polygon_angle_sum", Real(c.polygonAngleSum)}});
    }
    Json configurations = Json::object();
    for (const auto& [configuration, count] : a.configurations) {
        configurations[Utf8(configuration)] = count;
    }
    Json overfull = Json::array();
    for (const int i : a.overfullCorners) {
        const Corner& c = a.corners[static_cast<std::size_t>(i)];
        overfull.push_back({{"corner", i},
                            {"x", Real(c.at.X)},
                            {"y", Real(c.at.Y)},
                            {"polygon_angle_sum", Real(c.polygonAngleSum)}});
    }
    Json crossings = Json::array();
    for (const Crossing& c : a.crossings) {
        crossings.push_back({{"a", c.a},
                             {"b", c.b},
                             {"x", Real(c.at.X)},
                             {"y", Real(c.at.Y)},
                             {"overlap", c.overlap}});
    }

    // The order of the keys is the documented order.
    Json j = Json::object();
    j["file"] = Utf8(file);
    j["tolerance"] = Real(a.tolerance);
    j["counts"] = {{"points", a.points}, {"lines", a.lines}, {"fills", a.fills}};
    j["bounds"] = {{"min_x", Real(a.bounds.minX)},
                   {"min_y", Real(a.bounds.minY)},
                   {"max_x", Real(a.bounds.maxX)},
                   {"max_y", Real(a.bounds.maxY)}};
    j["off_canvas"] = {{"width", CANVAS_WIDTH},
                       {"height", CANVAS_HEIGHT},
                       {"points", a.pointsOutside},
                       {"lines_partly", a.linesPartlyOutside},
                       {"lines_wholly", a.linesOutside}};
    j["drift"] = {{"near_points", std::move(nearPoints)},
                  {"near_lines", std::move(nearLines)},
                  {"near_points_total", a.nearPointsTotal},
                  {"near_lines_total", a.nearLinesTotal}};
    j["faces"] = {{"count", a.faces.size()},
                  {"regular", regular},
                  {"by_corners", std::move(byCorners)},
                  {"list", std::move(faces)}};
    j["corners"] = std::move(corners);
    j["configurations"] = std::move(configurations);
    j["overfull_corners"] = std::move(overfull);
    j["crossings"] = std::move(crossings);
    j["crossings_total"] = a.crossingsTotal;
    j["left_out"] = {{"max_coordinate", Real(MAX_COORDINATE)},
                     {"lines", a.linesLeftOut},
                     {"lines_total", a.linesLeftOutTotal}};
    j["refused"] = a.refused.empty() ? Json() : Json(Utf8(a.refused));
    // ASCII only, so that a stray byte of a name shows its value as an escape, as documented.
    // Every string is valid UTF-8 by now: `replace` only keeps a slip from throwing.
    return j.dump(2, ' ', true, Json::error_handler_t::replace) + "\n";
}

} // namespace quillet::analysis
