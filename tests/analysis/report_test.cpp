#include "analysis/report.h"

#include "sketch.h"

#include <gtest/gtest.h>

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

TEST(Report, JsonStringsEscapeWhatIsNotPrintableUtf8) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"plain.qlf", "\"plain.qlf\""},
        {"a\"b\\c", "\"a\\\"b\\\\c\""},
        {"tab\tnew\nbell\x07", "\"tab\\u0009new\\u000abell\\u0007\""},
        {"caf\xc3\xa9", "\"caf\xc3\xa9\""},                                   // UTF-8 kept
        {"\xe2\x82\xac\xf0\x9f\x98\x80", "\"\xe2\x82\xac\xf0\x9f\x98\x80\""}, // 3 and 4 bytes
        {"\xff", "\"\\u00ff\""},                                              // never UTF-8
        {"\xc3", "\"\\u00c3\""},                                              // cut short
        {"\xc0\xaf", "\"\\u00c0\\u00af\""},                                   // overlong
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},                        // surrogate
        {"\xf4\x90\x80\x80", "\"\\u00f4\\u0090\\u0080\\u0080\""},             // beyond U+10FFFF
        {std::string("nul\0x", 5), "\"nul\\u0000x\""},
    };
    for (const auto& [bytes, expected] : cases) {
        EXPECT_EQ(JsonString(bytes), expected);
    }
}

TEST(Report, JsonNumbersReadBackExactly) {
    const std::vector<std::pair<double, std::string>> cases{
        {300, "300"},
        {0.1, "0.1"},
        {1e-6, "1e-06"},
        {-2.5, "-2.5"},
        {300.00000000000006, "300.00000000000006"},
        {std::numeric_limits<double>::quiet_NaN(), "null"},
        {std::numeric_limits<double>::infinity(), "null"},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(JsonNumber(value), expected);
        if (std::isfinite(value)) {
            EXPECT_EQ(std::strtod(JsonNumber(value).c_str(), nullptr), value);
        }
    }
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
    EXPECT_NE(json.find("\"counts\": {\"points\": 24, \"lines\": 44, \"fills\": 1}"),
              std::string::npos);
    EXPECT_NE(json.find("\"configurations\": {\"3.4.6.4\": 6}"), std::string::npos);
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
