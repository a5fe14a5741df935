#include "analysis/report.h"

#include "sketch.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

namespace quillet::analysis {
namespace {

// A strict JSON reader that only checks the grammar, and keeps the top-level keys.
class JsonChecker {
  public:
    explicit JsonChecker(std::string_view text) : s_(text) {}

    bool Valid(std::vector<std::string>& topKeys) {
        keys_ = &topKeys;
        Space();
        const bool ok = Value(0);
        Space();
        return ok && i_ == s_.size();
    }

  private:
    bool Value(int depth) {
        if (i_ >= s_.size()) {
            return false;
        }
        switch (s_[i_]) {
        case '{':
            return Object(depth);
        case '[':
            return Array(depth);
        case '"':
            return String(nullptr);
        case 't':
            return Word("true");
        case 'f':
            return Word("false");
        case 'n':
            return Word("null");
        default:
            return Number();
        }
    }
    bool Object(int depth) {
        ++i_;
        Space();
        if (Eat('}')) {
            return true;
        }
        do {
            Space();
            std::string key;
            if (!String(&key)) {
                return false;
            }
            if (depth == 0) {
                keys_->push_back(key);
            }
            Space();
            if (!Eat(':')) {
                return false;
            }
            Space();
            if (!Value(depth + 1)) {
                return false;
            }
            Space();
        } while (Eat(','));
        return Eat('}');
    }
    bool Array(int depth) {
        ++i_;
        Space();
        if (Eat(']')) {
            return true;
        }
        do {
            Space();
            if (!Value(depth + 1)) {
                return false;
            }
            Space();
        } while (Eat(','));
        return Eat(']');
    }
    bool String(std::string* out) {
        if (!Eat('"')) {
            return false;
        }
        while (i_ < s_.size() && s_[i_] != '"') {
            const auto c = static_cast<unsigned char>(s_[i_]);
            if (c < 0x20) {
                return false;
            }
            if (c == '\\') {
                ++i_;
                if (i_ >= s_.size()) {
                    return false;
                }
                if (s_[i_] == 'u') {
                    for (int k = 1; k <= 4; ++k) {
                        if (i_ + k >= s_.size() ||
                            !std::isxdigit(static_cast<unsigned char>(s_[i_ + k]))) {
                            return false;
                        }
                    }
                    i_ += 4;
                } else if (std::string_view("\"\\/bfnrt").find(s_[i_]) == std::string_view::npos) {
                    return false;
                }
            } else if (out != nullptr) {
                *out += static_cast<char>(c);
            }
            ++i_;
        }
        return Eat('"');
    }
    bool Number() {
        const std::size_t start = i_;
        Eat('-');
        if (Eat('0')) {
        } else if (!Digits()) {
            return false;
        }
        if (Eat('.') && !Digits()) {
            return false;
        }
        if (Eat('e') || Eat('E')) {
            if (!Eat('+')) {
                Eat('-');
            }
            if (!Digits()) {
                return false;
            }
        }
        return i_ > start;
    }
    bool Digits() {
        const std::size_t start = i_;
        while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) {
            ++i_;
        }
        return i_ > start;
    }
    bool Word(std::string_view w) {
        if (s_.substr(i_, w.size()) != w) {
            return false;
        }
        i_ += w.size();
        return true;
    }
    bool Eat(char c) {
        if (i_ < s_.size() && s_[i_] == c) {
            ++i_;
            return true;
        }
        return false;
    }
    void Space() {
        while (i_ < s_.size() &&
               std::string_view(" \t\r\n").find(s_[i_]) != std::string_view::npos) {
            ++i_;
        }
    }

    std::string_view s_;
    std::size_t i_ = 0;
    std::vector<std::string>* keys_ = nullptr;
};

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++n;
    }
    return n;
}

// The text of a top-level key's value, which the writer puts on the key's own line.
std::string TopLevel(const std::string& json, const std::string& key) {
    const std::string start = "\n  \"" + key + "\": ";
    const std::size_t at = json.find(start);
    if (at == std::string::npos) {
        return "(no " + key + ")";
    }
    const std::size_t from = at + start.size();
    std::string value = json.substr(from, json.find('\n', from) - from);
    if (!value.empty() && value.back() == ',') {
        value.pop_back();
    }
    return value;
}

// As the docs promise: ASCII only; control characters, '"' and '\\' escaped; characters beyond
// ASCII as \uXXXX (two for one above U+FFFF); a byte that is no part of valid UTF-8 as \u00XX
// with its value, so that a reader gets the name's bytes back as the characters U+0080..U+00FF.
TEST(Report, JsonStringsEscapeWhatIsNotPrintableUtf8) {
    struct Case {
        std::string bytes;
        std::string text;  // as written
        std::string value; // as a JSON reader gets it, in UTF-8
    };
    const std::vector<Case> cases{
        {"plain.qlf", "\"plain.qlf\"", "plain.qlf"},
        {"a\"b\\c", "\"a\\\"b\\\\c\"", "a\"b\\c"},
        {"tab\tnew\nbell\x07", "\"tab\\tnew\\nbell\\u0007\"", "tab\tnew\nbell\x07"},
        {"\r\b\f\x1f\x7f", "\"\\r\\b\\f\\u001f\\u007f\"", "\r\b\f\x1f\x7f"},
        {"caf\xc3\xa9", "\"caf\\u00e9\"", "caf\xc3\xa9"},
        {"\xe2\x82\xac\xf0\x9f\x98\x80", "\"\\u20ac\\ud83d\\ude00\"",
         "\xe2\x82\xac\xf0\x9f\x98\x80"},
        {"\xff", "\"\\u00ff\"", "\xc3\xbf"},                                          // never UTF-8
        {"\xc3", "\"\\u00c3\"", "\xc3\x83"},                                          // cut short
        {"a\xf0\x9f\x98", "\"a\\u00f0\\u009f\\u0098\"", "a\xc3\xb0\xc2\x9f\xc2\x98"}, // cut short
        {"\xc0\xaf", "\"\\u00c0\\u00af\"", "\xc3\x80\xc2\xaf"},                       // overlong
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\"", "\xc3\xad\xc2\xa0\xc2\x80"},    // surrogate
        {"\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\"",
         "\xc3\xb4\xc2\x90\xc2\x80\xc2\x80"}, // > U+10FFFF
        {"\xc3\xa9\x80\xc3\xa9", "\"\\u00e9\\u0080\\u00e9\"", "\xc3\xa9\xc2\x80\xc3\xa9"}, // stray
        {std::string("nul\0x", 5), "\"nul\\u0000x\"", std::string("nul\0x", 5)},
    };
    for (const Case& c : cases) {
        const std::string json = InfoJson(Analysis{}, c.bytes);
        EXPECT_EQ(TopLevel(json, "file"), c.text);
        std::vector<std::string> keys;
        EXPECT_TRUE(JsonChecker(json).Valid(keys)) << json;
        EXPECT_EQ(nlohmann::json::parse(json)["file"], c.value) << c.text;
    }
}

// Each number reads back to the same double, with the fewest digits where the docs show them;
// whole numbers without a fraction.
TEST(Report, JsonNumbersReadBackExactly) {
    struct Case {
        double value;
        std::string text; // empty: any digits that read back
    };
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Case> cases{
        {300, "300"},
        {0.1, "0.1"},
        {1e-6, "1e-06"},
        {-2.5, "-2.5"},
        {300.00000000000006, "300.00000000000006"},
        {1e100, "1e+100"},
        {9007199254740991, "9007199254740991"}, // 2^53 - 1, still whole
        {9007199254740992, ""},
        {-0.0, "-0.0"},
        {5e-324, "5e-324"},
        {std::numeric_limits<double>::max(), "1.7976931348623157e+308"},
        {401.6332672473429, ""},
        {-2.669505578011939e-208, ""},
        {std::numeric_limits<double>::quiet_NaN(), "null"},
        {inf, "null"},
        {-inf, "null"},
    };
    for (const Case& c : cases) {
        Analysis a;
        a.tolerance = c.value;
        const std::string text = TopLevel(InfoJson(a, "n.qlf"), "tolerance");
        if (!c.text.empty()) {
            EXPECT_EQ(text, c.text) << c.value;
        }
        if (std::isfinite(c.value)) {
            const double back = std::strtod(text.c_str(), nullptr);
            EXPECT_EQ(back, c.value) << text;
            EXPECT_EQ(std::signbit(back), std::signbit(c.value)) << text;
        }
    }
}

// Every documented key, in the documented order, with its type and value, from an analysis
// that holds one of everything.
TEST(Report, JsonKeysKeepTheirOrderTypesAndValues) {
    Analysis a;
    a.points = 3;
    a.lines = 4;
    a.fills = 1;
    a.bounds = {-1.5, 2, 600, 0.25};
    a.pointsOutside = 1;
    a.linesPartlyOutside = 2;
    a.linesOutside = 3;
    a.linesLeftOut = {4};
    a.linesLeftOutTotal = 1;
    a.nearPoints = {{1, 2, 1e-12}};
    a.nearPointsTotal = 5;
    a.nearLines = {{2, 3, 2e-12}};
    a.nearLinesTotal = 6;
    a.faces = {{{{0, 0}, {2, 0}, {1, 1.5}}, true, 1.5, 0}, {{{0, 0}, {4, 0}, {4, 4}}, false, 8, 2}};
    Corner surrounded;
    surrounded.at = {1, 1.5};
    surrounded.around = {3, 4, 6, 4};
    surrounded.surrounded = true;
    surrounded.configuration = "3.4.6.4";
    surrounded.angleSum = 360;
    surrounded.polygonAngleSum = 420.5;
    Corner open;
    open.at = {4, 4};
    open.around = {0};
    a.corners = {surrounded, open};
    a.configurations = {{"3.4.6.4", 1}, {"3.3.3.3.3.3", 2}};
    a.overfullCorners = {0};
    a.crossings = {{1, 4, {2, 0.5}, false}, {2, 3, {3, 3}, true}};
    a.crossingsTotal = 9;

    const std::string json = InfoJson(a, "f.qlf");
    std::vector<std::string> keys;
    ASSERT_TRUE(JsonChecker(json).Valid(keys)) << json;
    const auto j = nlohmann::ordered_json::parse(json);
    const std::vector<std::pair<std::string, std::string>> cases{
        {"/file", R"("f.qlf")"},
        {"/tolerance", "1e-06"},
        {"/counts", R"({"points": 3, "lines": 4, "fills": 1})"},
        {"/bounds", R"({"min_x": -1.5, "min_y": 2, "max_x": 600, "max_y": 0.25})"},
        {"/off_canvas", R"({"width": 581, "height": 493, "points": 1, "lines_partly": 2,
                           "lines_wholly": 3})"},
        {"/drift", R"({"near_points": [{"a": 1, "b": 2, "distance": 1e-12}],
                      "near_lines": [{"a": 2, "b": 3, "distance": 2e-12}],
                      "near_points_total": 5, "near_lines_total": 6})"},
        {"/faces", R"({"count": 2, "regular": 1, "by_corners": {"3": 1},
                      "list": [{"corners": [[0, 0], [2, 0], [1, 1.5]], "regular": true,
                                "area": 1.5, "holes": 0},
                               {"corners": [[0, 0], [4, 0], [4, 4]], "regular": false,
                                "area": 8, "holes": 2}]})"},
        {"/corners", R"([{"x": 1, "y": 1.5, "around": [3, 4, 6, 4], "surrounded": true,
                          "configuration": "3.4.6.4", "angle_sum": 360,
                          "polygon_angle_sum": 420.5},
                         {"x": 4, "y": 4, "around": [0], "surrounded": false,
                          "configuration": null, "angle_sum": 0, "polygon_angle_sum": 0}])"},
        {"/configurations", R"({"3.3.3.3.3.3": 2, "3.4.6.4": 1})"},
        {"/overfull_corners", R"([{"corner": 0, "x": 1, "y": 1.5, "polygon_angle_sum": 420.5}])"},
        {"/crossings", R"([{"a": 1, "b": 4, "x": 2, "y": 0.5, "overlap": false},
                           {"a": 2, "b": 3, "x": 3, "y": 3, "overlap": true}])"},
        {"/crossings_total", "9"},
        {"/left_out", R"({"max_coordinate": 1e100, "lines": [4], "lines_total": 1})"},
        {"/refused", "null"},
    };
    std::vector<std::string> expectedKeys;
    for (const auto& [pointer, expected] : cases) {
        expectedKeys.push_back(pointer.substr(1));
        // Ordered on both sides, so that a key out of place or a number turned text fails.
        const auto value = j.at(nlohmann::ordered_json::json_pointer(pointer));
        EXPECT_EQ(value, nlohmann::ordered_json::parse(expected)) << pointer << ": " << value;
    }
    EXPECT_EQ(keys, expectedKeys);

    a.refused = "would take more than 100000 meetings";
    EXPECT_EQ(TopLevel(InfoJson(a, "f.qlf"), "refused"),
              "\"would take more than 100000 meetings\"");
}

TEST(Report, InfoOfAPatternAsTextAndJson) {
    ProjectData data = testing::HexagonSquaresTriangles({300, 250}, 40);
    // Seven crossing lines apart from the pattern: the text lists some, the JSON all.
    for (int i = 0; i < 7; ++i) {
        data.lines.push_back({20.0 + 10 * i, 20, 20.0 + 10 * i, 120});
    }
    data.lines.push_back({10, 70, 100, 70});
    data.fills.push_back({255, 300, 250});
    const Analysis a = Analyse(data);
    ASSERT_EQ(a.crossings.size(), 7u);

    const std::string text = InfoText(a, "pattern.qlf");
    EXPECT_NE(text.find("Points 24, lines 44, fills 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Faces: 13, 13 regular (6 with 3 corners, 6 with 4 corners, 1 with 6 "
                        "corners)\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("Configurations:\n  3.4.6.4  x6\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Crossings: 7\n  lines 37 and 44 cross at (20, 70)\n"), std::string::npos)
        << text;
    EXPECT_NE(text.find("  ... and 2 more\n"), std::string::npos) << text;

    const std::string name = "odd\x01name\xff.qlf";
    const std::string json = InfoJson(a, name);
    std::vector<std::string> keys;
    EXPECT_TRUE(JsonChecker(json).Valid(keys)) << json;
    EXPECT_EQ(keys, (std::vector<std::string>{"file", "tolerance", "counts", "bounds", "off_canvas",
                                              "drift", "faces", "corners", "configurations",
                                              "overfull_corners", "crossings", "crossings_total",
                                              "left_out", "refused"}));
    EXPECT_NE(json.find("\"file\": \"odd\\u0001name\\u00ff.qlf\""), std::string::npos);
    const auto parsed = nlohmann::ordered_json::parse(json);
    EXPECT_EQ(parsed["counts"],
              nlohmann::ordered_json::parse(R"({"points": 24, "lines": 44, "fills": 1})"));
    EXPECT_EQ(parsed["configurations"], nlohmann::ordered_json::parse(R"({"3.4.6.4": 6})"));
    EXPECT_EQ(Count(json, "\"overlap\": false"), 7u);
    EXPECT_EQ(Count(json, "\"configuration\": \"3.4.6.4\""), 6u);
}

TEST(Report, InfoOfAnEmptyDrawingIsValidJson) {
    const std::string json = InfoJson(Analyse({}), "");
    std::vector<std::string> keys;
    EXPECT_TRUE(JsonChecker(json).Valid(keys)) << json;
    EXPECT_EQ(keys.size(), 14u);
}

} // namespace
} // namespace quillet::analysis
