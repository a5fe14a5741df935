// The reader and writer of project files against a copy of themselves as they were before
// they were made faster: every number text and every file must read the same to the bit, and
// every drawing must be written byte for byte the same.
#include "project/numbers.h"
#include "project/project_format.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace quillet {
namespace {

// ---------------------------------------------------------------------------------------------
// The reference: the conversion, the number writer and the file reader as they were, unchanged
// but for their namespace and for one later rule of the number writer: a tiny value keeps its
// 15-digit text when the reader reads it back as the value itself.
namespace before {

namespace {

char DecimalOf(char decimalSeparator) {
    return decimalSeparator == ',' ? ',' : '.';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsSeparator(char c) {
    return c == ',' || c == '.';
}

// Powers of ten as the doubles nearest to them, which a correctly rounded pow gives. Library pow
// functions (and compilers folding them) disagree at the exact ties from 10^23 on, and a file
// must read the same on every machine. 10^309 overflows; below 10^-323 the power is 0.
constexpr int LARGEST_POWER = 308;
constexpr int SMALLEST_POWER = -323;

struct PowerTable {
    std::array<double, LARGEST_POWER - SMALLEST_POWER + 1> values{};

    PowerTable() {
        for (int e = SMALLEST_POWER; e <= LARGEST_POWER; ++e) {
            const std::string text = "1e" + std::to_string(e);
            double v = 0;
            std::from_chars(text.data(), text.data() + text.size(), v);
            values[static_cast<std::size_t>(e - SMALLEST_POWER)] = v;
        }
    }
};

// Callers keep e at most LARGEST_POWER.
double PowerOfTen(long long e) {
    static const PowerTable table;
    if (e < SMALLEST_POWER) {
        return 0;
    }
    return table.values[static_cast<std::size_t>(e - SMALLEST_POWER)];
}

// Digits taken from the right, each times a floating-point power of ten, summed in that order.
// Overflow (any text of more than 309 characters reaches 10^309) gives no value.
std::optional<double> DigitSum(std::string_view digits) {
    const std::size_t n = digits.size();
    if (n > LARGEST_POWER + 1) {
        return std::nullopt;
    }
    double sum = 0;
    for (std::size_t i = 0; i < n; ++i) {
        sum = sum +
              PowerOfTen(static_cast<long long>(i)) * static_cast<double>(digits[n - 1 - i] - 48);
    }
    if (!std::isfinite(sum)) {
        return std::nullopt;
    }
    return sum;
}

// The conversion recurses on the fraction text, and each recursion cuts its text (by reference)
// at its own first separator, which sets the power of ten the caller scales with. Unrolled from
// the innermost level so that a text of thousands of separators cannot exhaust the stack.
// Reached only by text of digits, separators and one leading '-'.
std::optional<double> ConvertDigitByDigit(std::string_view text, char decimal) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || IsSeparator(text[i])) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    const std::size_t last = parts.size() - 1;

    // Value and remaining length of the level below the one being worked out. The texts of the
    // inner levels hold only digits and '.', the separators all having become '.'.
    double innerValue = 0;
    std::size_t innerLength = 0;
    std::size_t digitsBelow = 0;
    for (std::size_t level = last; level >= 1; --level) {
        digitsBelow += parts[level].size();
        const std::size_t dots = last - level;
        // Under a decimal point every '.' is one; under a decimal comma each '.' groups.
        const bool numeric = digitsBelow > 0 && (decimal == ',' || dots <= 1);
        double value = 0;
        std::size_t length = digitsBelow + dots;
        if (numeric) {
            length = parts[level].size();
            const std::optional<double> whole = DigitSum(parts[level]);
            if (level == last) {
                value = whole.value_or(0);
            } else if (whole) {
                const double v =
                    PowerOfTen(-static_cast<long long>(innerLength)) * innerValue + *whole;
                value = std::isfinite(v) ? v : 0;
            }
        }
        innerValue = value;
        innerLength = length;
    }

    std::string_view head = parts[0];
    const bool negative = !head.empty() && head.front() == '-';
    if (negative) {
        head.remove_prefix(1);
    }
    const std::optional<double> whole = DigitSum(head);
    if (!whole) {
        return std::nullopt;
    }
    double result = *whole;
    if (last > 0) {
        result = PowerOfTen(-static_cast<long long>(innerLength)) * innerValue + *whole;
    }
    if (!std::isfinite(result)) {
        return std::nullopt;
    }
    return negative ? -result : result;
}

// For text the digit rule would misread. The first separator is taken as the decimal point and
// later ones are dropped, which is what the digit rule does with them too.
std::optional<double> ConvertByValue(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    bool pointSeen = false;
    bool inExponent = false;
    long long exponent = 0;
    bool exponentNegative = false;
    long long digitsBeforePoint = 0;
    long long firstNonZero = -1; // index among the mantissa digits
    long long mantissaDigits = 0;
    for (char c : text) {
        if (c == ' ' || c == '+') {
            continue;
        }
        if (IsSeparator(c)) {
            if (!pointSeen) {
                clean += '.';
                pointSeen = true;
            }
            continue;
        }
        if (c == 'e' || c == 'E') {
            inExponent = true;
        } else if (inExponent) {
            if (c == '-') {
                exponentNegative = true;
            } else if (exponent < 1000000) {
                exponent = exponent * 10 + (c - '0');
            }
        } else if (IsDigit(c)) {
            if (firstNonZero < 0 && c != '0') {
                firstNonZero = mantissaDigits;
            }
            ++mantissaDigits;
            if (!pointSeen) {
                ++digitsBeforePoint;
            }
        }
        clean += c;
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(clean.data(), clean.data() + clean.size(), value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to hold is 0; too large is an overflow.
        if (firstNonZero < 0) {
            return 0.0;
        }
        const long long order =
            digitsBeforePoint - firstNonZero - 1 + (exponentNegative ? -exponent : exponent);
        if (order < 0) {
            return clean.front() == '-' ? -0.0 : 0.0;
        }
        return std::nullopt;
    }
    if (ec != std::errc() || ptr != clean.data() + clean.size() || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

} // namespace

bool IsNumericText(std::string_view text, char decimalSeparator) {
    const char decimal = DecimalOf(decimalSeparator);
    const char grouping = decimal == ',' ? '.' : ',';
    std::size_t i = 0;
    std::size_t end = text.size();
    while (i < end && text[i] == ' ') {
        ++i;
    }
    while (end > i && text[end - 1] == ' ') {
        --end;
    }
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        ++i;
    }
    bool anyDigit = false;
    while (i < end && (IsDigit(text[i]) || text[i] == grouping)) {
        anyDigit = anyDigit || IsDigit(text[i]);
        ++i;
    }
    if (i < end && text[i] == decimal) {
        ++i;
        while (i < end && IsDigit(text[i])) {
            anyDigit = true;
            ++i;
        }
    }
    if (!anyDigit) {
        return false;
    }
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (i == end || !IsDigit(text[i])) {
            return false;
        }
        while (i < end && IsDigit(text[i])) {
            ++i;
        }
    }
    return i == end;
}

std::optional<double> ParseNumberChecked(std::string_view text, char decimalSeparator) {
    const char decimal = DecimalOf(decimalSeparator);
    if (!IsNumericText(text, decimal)) {
        return 0.0;
    }
    if (text.find_first_of(" +eE") != std::string_view::npos) {
        return ConvertByValue(text);
    }
    return ConvertDigitByDigit(text, decimal);
}

namespace {

// The significant digits of |v| rounded to `precision` of them, trailing zeros dropped, and
// the decimal exponent of the first one.
void SignificantDigits(double v, int precision, std::string& digits, int& exponent) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v),
                                      std::chars_format::scientific, precision - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    digits.clear();
    for (char c : text.substr(0, e)) {
        if (IsDigit(c)) {
            digits += c;
        }
    }
    exponent = 0;
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    exponent);
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
}

// The reader scales the fraction digits by a power of ten that must stay a normal double,
// or the last digits are lost and the value drifts with every save.
constexpr int MOST_FRACTION_DIGITS = 307;

} // namespace

std::string FormatGeneralNumber(double v, char decimalSeparator) {
    if (!std::isfinite(v) || v == 0) {
        return "0";
    }
    // 15 significant digits, correctly rounded, whatever the locale; then two corrections so
    // that the text reads back as (nearly) v and never as 0.
    std::string digits;
    int exponent = 0;
    SignificantDigits(v, 15, digits, exponent);
    if (exponent > LARGEST_POWER ||
        (exponent == LARGEST_POWER && std::string_view(digits) > "179769313486231")) {
        // Rounded up past the largest double: the reader would overflow. Round down instead.
        digits = "179769313486231";
        exponent = LARGEST_POWER;
    }
    if (exponent < 0 && -exponent - 1 + static_cast<int>(digits.size()) > MOST_FRACTION_DIGITS) {
        const std::string full = "0" + std::string(1, DecimalOf(decimalSeparator)) +
                                 std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
        const std::string signedFull = v < 0 ? "-" + full : full;
        if (ParseNumberChecked(signedFull, decimalSeparator) == v) {
            return signedFull;
        }
        // More fraction digits than the reader keeps exactly: keep fewer significant ones.
        const int precision = MOST_FRACTION_DIGITS + exponent + 1;
        if (precision < 1) {
            return "0";
        }
        SignificantDigits(v, precision, digits, exponent);
        if (-exponent - 1 + static_cast<int>(digits.size()) > MOST_FRACTION_DIGITS) {
            return "0";
        }
    }

    std::string out = v < 0 ? "-" : "";
    const long long pointAt = exponent + 1; // digits before the separator
    const auto count = static_cast<long long>(digits.size());
    if (pointAt >= count) {
        out += digits;
        out.append(static_cast<std::size_t>(pointAt - count), '0');
    } else if (pointAt > 0) {
        out.append(digits, 0, static_cast<std::size_t>(pointAt));
        out += DecimalOf(decimalSeparator);
        out.append(digits, static_cast<std::size_t>(pointAt));
    } else {
        out += '0';
        out += DecimalOf(decimalSeparator);
        out.append(static_cast<std::size_t>(-pointAt), '0');
        out += digits;
    }
    return out;
}

constexpr std::string_view TITLE = "Tavenor Quillet File";
constexpr std::string_view RULE = "*--------------------*";
constexpr std::string_view TITLE_LINE = "|Tavenor Quillet File|";
static_assert(RULE.size() == TITLE.size() + 2 && TITLE_LINE.substr(1, TITLE.size()) == TITLE);
constexpr std::string_view POINTS_HEAD = "<Punten num=";
constexpr std::string_view POINTS_END = "</Punten>";
constexpr std::string_view LINES_HEAD = "<Lijnen num=";
constexpr std::string_view LINES_END = "</Lijnen>";
constexpr std::string_view FILLS_HEAD = "<FloodFill num=";
constexpr std::string_view FILLS_END = "</FloodFill>";
constexpr std::array<std::string_view, 4> TRAILER = {
    "Dit bestand is gegenereerd door Tavenor Quillet.",
    "Als u ook maar het kleinste detail veranderd of verwijderd van dit bestand,",
    "zal het niet meer te openen zijn met Tavenor Quillet.",
    "Alzo spreek ik, Ewout Bramlinck, oprichter en beheerder van Tavenor Corporation.",
};

std::string_view TrimSpaces(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// Splits at the only occurrence of the separator; none or several give nothing.
std::optional<std::pair<std::string_view, std::string_view>> SplitInTwo(std::string_view text,
                                                                        std::string_view sep) {
    const std::size_t at = text.find(sep);
    if (at == std::string_view::npos || text.find(sep, at + sep.size()) != std::string_view::npos) {
        return std::nullopt;
    }
    return std::pair{text.substr(0, at), text.substr(at + sep.size())};
}

enum class LineStatus { Line, End, TooLong, Unreadable, Cancelled };

// Lines end at CR LF or a lone CR. A source looks no further than one byte past the longest
// allowed line, so a file without line ends fails as soon as that much is read.
class LineSource {
  public:
    virtual ~LineSource() = default;
    // The line stays valid until the next call.
    virtual LineStatus Next(std::string_view& line) = 0;
    // Why the source could not be read, when it could not.
    std::string failure;
};

class MemoryLines final : public LineSource {
  public:
    explicit MemoryLines(std::string_view bytes) : rest_(bytes) {}

    LineStatus Next(std::string_view& line) override {
        if (rest_.empty()) {
            return LineStatus::End;
        }
        const std::size_t cr = rest_.substr(0, MAX_PROJECT_LINE_BYTES + 1).find('\r');
        if (cr == std::string_view::npos) {
            if (rest_.size() > MAX_PROJECT_LINE_BYTES) {
                return LineStatus::TooLong;
            }
            line = rest_;
            rest_ = {};
            return LineStatus::Line;
        }
        line = rest_.substr(0, cr);
        rest_.remove_prefix(cr + 1);
        if (!rest_.empty() && rest_.front() == '\n') {
            rest_.remove_prefix(1);
        }
        return LineStatus::Line;
    }

  private:
    std::string_view rest_;
};

// A line as the user can read it in a message: short, and with control and other non-ASCII
// bytes spelled out.
std::string Printable(std::string_view line) {
    constexpr std::size_t SHOWN = 60;
    std::string text = "\"";
    for (char c : line.substr(0, SHOWN)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            constexpr const char* HEX = "0123456789ABCDEF";
            text += "\\x";
            text += HEX[byte >> 4];
            text += HEX[byte & 0xF];
        } else {
            text += c;
        }
    }
    text += line.size() > SHOWN ? "\"..." : "\"";
    return text;
}

// What a line must be, spelled out only when it is not: "point 3 of 5: X;Y".
struct Expectation {
    std::string_view form;
    std::string_view item = {};
    int index = 0;
    int count = 0;

    std::string Describe() const {
        if (item.empty()) {
            return std::string(form);
        }
        std::string text = std::string(item) + " " + std::to_string(index);
        if (count > 0) {
            text += " of " + std::to_string(count);
        }
        return text + ": " + std::string(form);
    }
};

constexpr Expectation EMPTY_LINE{"an empty line"};

class Parser {
  public:
    Parser(LineSource& source, char decimalSeparator)
        : source_(source), decimal_(decimalSeparator) {}

    std::variant<ProjectData, ProjectError> Run() {
        if (!Exact(RULE, {"the rule line"}) || !Exact(TITLE_LINE, {"the title line"}) ||
            !Exact(RULE, {"the rule line"}) || !Exact("", EMPTY_LINE)) {
            return error_;
        }

        int count = 0;
        if (!Head(POINTS_HEAD, {"<Punten num=N> with N from 1 to 32767"}, true, count)) {
            return error_;
        }
        data_.points.reserve(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            if (!Expect({"X;Y", "point", i, count}, [this](std::string_view line) {
                    udtPoint p;
                    if (!Coordinates(line, p.X, p.Y)) {
                        return false;
                    }
                    data_.points.push_back(p);
                    return true;
                })) {
                return error_;
            }
        }
        if (!Exact(POINTS_END, {POINTS_END}) || !Exact("", EMPTY_LINE)) {
            return error_;
        }

        if (!Head(LINES_HEAD, {"<Lijnen num=N> with N from 1 to 32767"}, true, count)) {
            return error_;
        }
        data_.lines.reserve(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            if (!Expect({"(X1;Y1)---(X2;Y2)", "line", i, count},
                        [this](std::string_view line) { return Segment(line); })) {
                return error_;
            }
        }
        if (!Exact(LINES_END, {LINES_END}) || !Exact("", EMPTY_LINE)) {
            return error_;
        }

        // A negative fills count reads no fill lines, like 0, and is kept as 0.
        if (!Head(FILLS_HEAD, {"<FloodFill num=N> with N at most 32767"}, false, count)) {
            return error_;
        }
        data_.fills.reserve(static_cast<std::size_t>(count));
        for (int i = 1; i <= count; ++i) {
            if (!Expect({"Color @ (X;Y) with a colour that fits 32 bits", "fill", i, count},
                        [this](std::string_view line) { return Fill(line); })) {
                return error_;
            }
        }
        if (!Exact(FILLS_END, {FILLS_END}) || !Exact("", EMPTY_LINE)) {
            return error_;
        }

        for (std::size_t i = 0; i < TRAILER.size(); ++i) {
            if (!Exact(TRAILER[i], {TRAILER[i], "trailer line", static_cast<int>(i) + 1})) {
                return error_;
            }
        }
        return std::move(data_);
    }

  private:
    bool Fail(const Expectation& expected, std::string found, std::string_view note = {}) {
        error_ = {number_, expected.Describe() + std::string(note), std::move(found)};
        return false;
    }

    // Reads the next line and hands it to the check; a missing, overlong or failed line fails.
    template <class Check> bool Expect(const Expectation& expected, Check check) {
        ++number_;
        std::string_view line;
        switch (source_.Next(line)) {
        case LineStatus::Line:
            return check(line) || Fail(expected, Printable(line));
        case LineStatus::End:
            return Fail(expected, "the end of the file");
        case LineStatus::TooLong:
            return Fail(expected, "a longer line",
                        " (a line of at most " + std::to_string(MAX_PROJECT_LINE_BYTES) +
                            " bytes)");
        case LineStatus::Unreadable:
            return Fail(expected, "a read error: " + source_.failure);
        case LineStatus::Cancelled:
            Fail(expected, {});
            error_.cancelled = true;
            return false;
        }
        return false;
    }

    bool Exact(std::string_view text, const Expectation& expected) {
        return Expect(expected, [text](std::string_view line) { return line == text; });
    }

    bool Numeric(std::string_view text) const { return IsNumericText(text, decimal_); }

    double Convert(std::string_view text) const {
        return ParseNumberChecked(text, decimal_).value_or(0.0);
    }

    // The count is rounded. Above MAX_ELEMENTS (a count too large for a double included) fails,
    // and so does one below 1 where the section must not be empty; others below 1 read as 0.
    bool Head(std::string_view tag, const Expectation& expected, bool required, int& count) {
        return Expect(expected, [&](std::string_view line) {
            if (line.size() <= tag.size() || !line.starts_with(tag) || !line.ends_with('>')) {
                return false;
            }
            const std::string_view number = line.substr(tag.size(), line.size() - tag.size() - 1);
            if (!Numeric(number)) {
                return false;
            }
            const std::optional<double> value = ParseNumberChecked(number, decimal_);
            if (!value) {
                return false;
            }
            const double rounded = RoundHalfEven(*value);
            if (rounded > MAX_ELEMENTS || (required && rounded < 1)) {
                return false;
            }
            count = rounded < 0 ? 0 : static_cast<int>(rounded);
            return true;
        });
    }

    // "X;Y", the parts not trimmed.
    bool Coordinates(std::string_view text, double& x, double& y) const {
        const auto parts = SplitInTwo(text, ";");
        if (!parts || !Numeric(parts->first) || !Numeric(parts->second)) {
            return false;
        }
        x = Convert(parts->first);
        y = Convert(parts->second);
        return true;
    }

    bool Bracketed(std::string_view part, double& x, double& y) const {
        return part.size() >= 2 && part.front() == '(' && part.back() == ')' &&
               Coordinates(part.substr(1, part.size() - 2), x, y);
    }

    bool Segment(std::string_view line) {
        udtLine l;
        const auto ends = SplitInTwo(line, "---");
        if (!ends || !Bracketed(ends->first, l.X1, l.Y1) || !Bracketed(ends->second, l.X2, l.Y2)) {
            return false;
        }
        data_.lines.push_back(l);
        return true;
    }

    // Looser than the other lines: the texts are trimmed and the bracket characters dropped
    // whatever they are, and the colour is not tested (a word gives colour 0).
    bool Fill(std::string_view line) {
        const std::size_t at = line.find(" @ ");
        if (at == std::string_view::npos) {
            return false;
        }
        const std::string_view colour = TrimSpaces(line.substr(0, at));
        const std::string_view rest = TrimSpaces(line.substr(at + 3));
        if (colour.empty() || rest.empty()) {
            return false;
        }
        const auto parts = SplitInTwo(rest, ";");
        if (!parts) {
            return false;
        }
        const std::string_view first = TrimSpaces(parts->first);
        const std::string_view second = TrimSpaces(parts->second);
        if (first.size() < 2 || second.size() < 2) {
            return false;
        }
        const std::string_view xText = first.substr(1);
        const std::string_view yText = second.substr(0, second.size() - 1);
        if (!Numeric(xText) || !Numeric(yText)) {
            return false;
        }
        // A colour too large for a double does not fit 32 bits either.
        const double rounded = RoundHalfEven(
            ParseNumberChecked(colour, decimal_).value_or(std::numeric_limits<double>::max()));
        if (rounded < std::numeric_limits<std::int32_t>::min() ||
            rounded > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
        data_.fills.push_back({static_cast<std::int32_t>(rounded), Convert(xText), Convert(yText)});
        return true;
    }

    LineSource& source_;
    int number_ = 0;
    char decimal_;
    ProjectData data_;
    ProjectError error_{};
};

std::variant<ProjectData, ProjectError> ParseProject(std::string_view bytes,
                                                     char decimalSeparator) {
    MemoryLines source(bytes);
    return Parser(source, decimalSeparator).Run();
}

} // namespace before

// ---------------------------------------------------------------------------------------------

bool SameBits(double a, double b) {
    return std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

bool SameBits(const std::optional<double>& a, const std::optional<double>& b) {
    return a.has_value() == b.has_value() && (!a || SameBits(*a, *b));
}

std::string Show(const std::optional<double>& v) {
    if (!v) {
        return "overflow";
    }
    char buffer[64];
    return std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, *v).ptr);
}

// Every answer of the number helpers for one text, under either separator.
void ExpectSameReading(const std::string& text) {
    for (char sep : {',', '.'}) {
        const bool numeric = before::IsNumericText(text, sep);
        const std::optional<double> expected = before::ParseNumberChecked(text, sep);
        ASSERT_EQ(IsNumericText(text, sep), numeric) << '"' << text << "\" " << sep;
        const std::optional<double> actual = ParseNumberChecked(text, sep);
        ASSERT_TRUE(SameBits(actual, expected))
            << '"' << text << "\" " << sep << ": " << Show(actual) << " for " << Show(expected);
        const NumberReading reading = ReadNumber(text, sep);
        ASSERT_EQ(reading.numeric, numeric) << '"' << text << "\" " << sep;
        ASSERT_TRUE(SameBits(reading.value, expected)) << '"' << text << "\" " << sep;
        ASSERT_TRUE(SameBits(ParseNumber(text, sep), expected.value_or(0.0))) << text;
    }
}

// Number texts of every shape a file may hold: mostly numeric, in the writer's form and
// around it, with runs of digits long enough to overflow.
class TextMaker {
  public:
    explicit TextMaker(std::uint32_t seed) : rng_(seed) {}

    std::string Next() {
        switch (Below(12)) {
        case 0:
            return Junk();
        case 1:
        case 2:
            return Written();
        default:
            return Shaped();
        }
    }

    // A number as the writer spells it, of any magnitude.
    std::string Written() {
        const double mantissa = std::uniform_real_distribution<double>(1, 10)(rng_);
        const int exponent = std::uniform_int_distribution<int>(-330, 308)(rng_);
        double v = mantissa * std::pow(10.0, exponent);
        if (Below(20) == 0) {
            v = std::uniform_int_distribution<int>(-2000, 2000)(rng_);
        }
        if (Below(3) == 0) {
            v = -v;
        }
        return FormatGeneralNumber(v, Below(2) == 0 ? ',' : '.');
    }

  private:
    std::size_t Below(std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
    }

    std::string Digits(std::size_t n) {
        std::string d;
        for (std::size_t i = 0; i < n; ++i) {
            d += static_cast<char>('0' + Below(10));
        }
        return d;
    }

    // How many digits a run has: short mostly, sometimes around and past 309.
    std::size_t RunLength() {
        switch (Below(40)) {
        case 0:
            return 295 + Below(40);
        case 1:
            return Below(700);
        case 2:
        case 3:
            return 15 + Below(10); // around 2^53
        default:
            return Below(4) == 0 ? 0 : Below(20);
        }
    }

    std::string Run() {
        std::string run;
        if (Below(6) == 0) {
            run.append(1 + Below(25), '0');
        }
        return run + Digits(RunLength());
    }

    std::string Shaped() {
        std::string t;
        if (Below(10) == 0) {
            t.append(1 + Below(3), ' ');
        }
        const std::size_t sign = Below(12);
        t += sign < 3 ? "-" : sign == 3 ? "+" : "";
        t += Run();
        std::size_t separators = std::array<std::size_t, 8>{0, 0, 1, 1, 1, 1, 2, 3}[Below(8)];
        if (Below(60) == 0) {
            separators = 2 + Below(60);
        }
        for (std::size_t i = 0; i < separators; ++i) {
            t += Below(2) == 0 ? ',' : '.';
            t += Below(5) == 0 ? Digits(Below(4)) : Run();
        }
        if (Below(10) == 0) {
            t += Below(2) == 0 ? 'e' : 'E';
            const std::size_t s = Below(4);
            t += s == 0 ? "-" : s == 1 ? "+" : "";
            t += Below(8) == 0 ? Digits(Below(2)) : std::to_string(Below(Below(3) == 0 ? 700 : 30));
        }
        if (Below(10) == 0) {
            t.append(1 + Below(3), ' ');
        }
        if (Below(30) == 0) {
            const std::string odd = "x-+ e;\t";
            t.insert(Below(t.size() + 1), 1, odd[Below(odd.size())]);
        }
        return t;
    }

    std::string Junk() {
        const std::string alphabet = " +-eE,.0123456789x";
        std::string t;
        for (std::size_t n = Below(14); n > 0; --n) {
            t += alphabet[Below(alphabet.size())];
        }
        return t;
    }

    std::mt19937 rng_;
};

TEST(ReaderIdentity, KnownCasesReadAsBefore) {
    std::vector<std::string> texts = {"",
                                      " ",
                                      "0",
                                      "-0",
                                      "+0",
                                      "-0,0",
                                      "-,0",
                                      "-.",
                                      ".",
                                      ",",
                                      "-",
                                      "+",
                                      "0,3",
                                      "0.3",
                                      "12,5",
                                      "-0,25",
                                      ",5",
                                      "5,",
                                      "007",
                                      "100",
                                      "1,234.5",
                                      "1.234,5",
                                      "1,5,3",
                                      "1.2.3.4",
                                      "1,2,3.4",
                                      "1,2.3",
                                      "1e5",
                                      "1E-5",
                                      "1,5e+10",
                                      " -2,5E3 ",
                                      "2147483647",
                                      "-2147483648",
                                      "1e",
                                      "1e+",
                                      "e5",
                                      "--1",
                                      "1-",
                                      "1 2",
                                      "\t5",
                                      "0x10",
                                      "1,2e3.4",
                                      "1,4210854715202E-14",
                                      "5,E3",
                                      ",5e1",
                                      "1E-400",
                                      "1E400",
                                      "1e-400",
                                      "0,00000000001e-330",
                                      "100000000000e300",
                                      "0000000000001e309",
                                      "9007199254740991",
                                      "9007199254740992",
                                      "9007199254740993",
                                      "18446744073709551615",
                                      "18446744073709551616",
                                      "99999999999999999999",
                                      "0,9007199254740993",
                                      "12345678.87654321",
                                      "1" + std::string(23, '0'),
                                      "1" + std::string(308, '0'),
                                      "1" + std::string(309, '0'),
                                      "9" + std::string(308, '9'),
                                      "1" + std::string(399, '0'),
                                      std::string(310, '0') + "5",
                                      std::string(309, '0'),
                                      std::string(308, '0') + "1",
                                      "3," + std::string(400, '1'),
                                      "0," + std::string(330, '0') + "1",
                                      "0," + std::string(322, '0') + "1",
                                      "-" + std::string(309, '9') + ",5",
                                      "179769313486231" + std::string(294, '0'),
                                      "179769313486232" + std::string(294, '0'),
                                      "1" + std::string(308, '0') + ",9"};
    std::string dots = "1";
    while (dots.size() < 5000) {
        dots += ".1";
    }
    texts.push_back(dots);
    texts.push_back("1" + std::string(2000, ','));
    for (const std::string& text : texts) {
        ExpectSameReading(text);
    }
}

TEST(ReaderIdentity, RandomNumberTextsReadAsBefore) {
    TextMaker maker(20240611);
    // How often the corpus reaches each outcome, so that none goes untested.
    int numeric = 0, overflow = 0, negativeZero = 0, longDigits = 0;
    for (int i = 0; i < 300000; ++i) {
        const std::string text = maker.Next();
        ExpectSameReading(text);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
        const std::optional<double> v = before::ParseNumberChecked(text, ',');
        numeric += before::IsNumericText(text, ',') ? 1 : 0;
        overflow += v ? 0 : 1;
        negativeZero += v && *v == 0 && std::signbit(*v) ? 1 : 0;
        longDigits += text.size() > 309 ? 1 : 0;
    }
    EXPECT_GT(numeric, 150000);
    EXPECT_GT(overflow, 1000);
    EXPECT_GT(negativeZero, 1000);
    EXPECT_GT(longDigits, 5000);
}

// A project file of random size whose numbers and counts are texts of every shape, with now
// and then a broken byte, a lone LF or a missing end.
std::string RandomFile(std::mt19937& rng, TextMaker& maker) {
    const auto below = [&rng](std::size_t n) {
        return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
    };
    // Half the files hold odd numbers often, the other half seldom, so that many files read.
    const std::size_t odd = below(2) == 0 ? 8 : 200;
    const auto number = [&] { return below(odd) == 0 ? maker.Next() : maker.Written(); };
    const auto count = [&](std::size_t n) {
        const std::size_t form = below(20);
        return form == 0   ? maker.Next()
               : form == 1 ? " " + std::to_string(n)
               : form == 2 ? std::to_string(n) + ",4"
                           : std::to_string(n);
    };
    std::vector<std::string> lines = {"*--------------------*", "|Tavenor Quillet File|",
                                      "*--------------------*", ""};
    const std::size_t points = 1 + below(12);
    lines.push_back("<Punten num=" + count(points) + ">");
    for (std::size_t i = 0; i < points; ++i) {
        lines.push_back(number() + ";" + number());
    }
    lines.insert(lines.end(), {"</Punten>", ""});
    const std::size_t segments = 1 + below(12);
    lines.push_back("<Lijnen num=" + count(segments) + ">");
    for (std::size_t i = 0; i < segments; ++i) {
        lines.push_back("(" + number() + ";" + number() + ")---(" + number() + ";" + number() +
                        ")");
    }
    lines.insert(lines.end(), {"</Lijnen>", ""});
    const std::size_t fills = below(6);
    lines.push_back("<FloodFill num=" + count(fills) + ">");
    for (std::size_t i = 0; i < fills; ++i) {
        const std::string colour = below(6) == 0 ? number() : std::to_string(below(1u << 24));
        lines.push_back(colour + " @ (" + number() + ";" + number() + ")");
    }
    lines.insert(lines.end(),
                 {"</FloodFill>", "", "Dit bestand is gegenereerd door Tavenor Quillet.",
                  "Als u ook maar het kleinste detail veranderd of verwijderd van "
                  "dit bestand,",
                  "zal het niet meer te openen zijn met Tavenor Quillet.",
                  "Alzo spreek ik, Ewout Bramlinck, oprichter en beheerder van "
                  "Tavenor Corporation."});
    std::string file;
    for (const std::string& line : lines) {
        file += line + "\r\n";
    }
    for (std::size_t edits = below(4) == 0 ? 1 + below(3) : 0; edits > 0 && !file.empty();
         --edits) {
        const std::string odd = "-;()@ ,.e\r\n0";
        const std::size_t at = below(file.size());
        switch (below(4)) {
        case 0:
            file.erase(at, 1);
            break;
        case 1:
            file.insert(at, 1, odd[below(odd.size())]);
            break;
        case 2:
            file[at] = odd[below(odd.size())];
            break;
        default:
            file.resize(at);
            break;
        }
    }
    return file;
}

void ExpectSameResult(const std::variant<ProjectData, ProjectError>& actual,
                      const std::variant<ProjectData, ProjectError>& expected,
                      const std::string& file) {
    ASSERT_EQ(actual.index(), expected.index()) << file;
    if (const auto* error = std::get_if<ProjectError>(&expected)) {
        // Where and what: how a message shows the line found there is no concern of the
        // reader's numbers.
        const ProjectError& got = std::get<ProjectError>(actual);
        ASSERT_TRUE(got.line == error->line && got.expected == error->expected &&
                    got.cancelled == error->cancelled)
            << got.Describe() << " for " << error->Describe() << "\n"
            << file;
        return;
    }
    const ProjectData& a = std::get<ProjectData>(actual);
    const ProjectData& e = std::get<ProjectData>(expected);
    ASSERT_EQ(a.points.size(), e.points.size());
    ASSERT_EQ(a.lines.size(), e.lines.size());
    ASSERT_EQ(a.fills.size(), e.fills.size());
    for (std::size_t i = 0; i < e.points.size(); ++i) {
        ASSERT_TRUE(SameBits(a.points[i].X, e.points[i].X) &&
                    SameBits(a.points[i].Y, e.points[i].Y))
            << "point " << i + 1 << " of " << file;
    }
    for (std::size_t i = 0; i < e.lines.size(); ++i) {
        const udtLine& x = a.lines[i];
        const udtLine& y = e.lines[i];
        ASSERT_TRUE(SameBits(x.X1, y.X1) && SameBits(x.Y1, y.Y1) && SameBits(x.X2, y.X2) &&
                    SameBits(x.Y2, y.Y2))
            << "line " << i + 1 << " of " << file;
    }
    for (std::size_t i = 0; i < e.fills.size(); ++i) {
        ASSERT_EQ(a.fills[i].Color, e.fills[i].Color) << file;
        ASSERT_TRUE(SameBits(a.fills[i].X, e.fills[i].X) && SameBits(a.fills[i].Y, e.fills[i].Y))
            << "fill " << i + 1 << " of " << file;
    }
}

TEST(ReaderIdentity, RandomFilesReadAsBefore) {
    std::mt19937 rng(77);
    TextMaker maker(78);
    int read = 0;
    for (int round = 0; round < 6000; ++round) {
        const std::string file = RandomFile(rng, maker);
        for (char sep : {',', '.'}) {
            const auto expected = before::ParseProject(file, sep);
            read += std::holds_alternative<ProjectData>(expected) ? 1 : 0;
            ExpectSameResult(ParseProject(file, sep), expected, file);
            if (::testing::Test::HasFatalFailure()) {
                return;
            }
        }
    }
    // Both outcomes are well represented.
    EXPECT_GT(read, 3000);
    EXPECT_LT(read, 9000);
}

// The writer as it was, put together another way: line by line through a stream.
std::string WrittenBefore(const ProjectData& data, char sep) {
    std::ostringstream out;
    const auto n = [sep](double v) { return before::FormatGeneralNumber(v, sep); };
    out << "*--------------------*\r\n|Tavenor Quillet File|\r\n*--------------------*\r\n\r\n";
    out << "<Punten num=" << data.points.size() << ">\r\n";
    for (const udtPoint& p : data.points) {
        out << n(p.X) << ';' << n(p.Y) << "\r\n";
    }
    out << "</Punten>\r\n\r\n<Lijnen num=" << data.lines.size() << ">\r\n";
    for (const udtLine& l : data.lines) {
        out << '(' << n(l.X1) << ';' << n(l.Y1) << ")---(" << n(l.X2) << ';' << n(l.Y2) << ")\r\n";
    }
    out << "</Lijnen>\r\n\r\n<FloodFill num=" << data.fills.size() << ">\r\n";
    for (const udtFill& f : data.fills) {
        out << f.Color << " @ (" << n(f.X) << ';' << n(f.Y) << ")\r\n";
    }
    out << "</FloodFill>\r\n\r\n";
    for (std::string_view line : before::TRAILER) {
        out << line << "\r\n";
    }
    return out.str();
}

TEST(WriterIdentity, DrawingsAreWrittenAsBefore) {
    std::mt19937_64 rng(91);
    const auto below = [&rng](std::uint64_t n) {
        return std::uniform_int_distribution<std::uint64_t>(0, n - 1)(rng);
    };
    constexpr std::array<double, 10> special = {0.0,
                                                -0.0,
                                                std::numeric_limits<double>::infinity(),
                                                -std::numeric_limits<double>::infinity(),
                                                std::numeric_limits<double>::quiet_NaN(),
                                                std::numeric_limits<double>::max(),
                                                std::numeric_limits<double>::min(),
                                                std::numeric_limits<double>::denorm_min(),
                                                1e-294,
                                                13.397459621556138};
    // Any bit pattern now and then, otherwise values around the canvas and of any size.
    const auto value = [&]() -> double {
        switch (below(6)) {
        case 0:
            return std::bit_cast<double>(rng());
        case 1:
            return special[below(special.size())];
        case 2:
            return std::uniform_real_distribution<double>(1, 10)(rng) *
                   std::pow(10.0, static_cast<double>(below(640)) - 330);
        default:
            return std::uniform_real_distribution<double>(-50, 1250)(rng);
        }
    };
    for (int round = 0; round < 300; ++round) {
        ProjectData d;
        for (std::uint64_t i = below(60); i > 0; --i) {
            d.points.push_back({value(), value()});
        }
        for (std::uint64_t i = below(60); i > 0; --i) {
            d.lines.push_back({value(), value(), value(), value()});
        }
        for (std::uint64_t i = below(10); i > 0; --i) {
            d.fills.push_back({static_cast<std::int32_t>(rng()), value(), value()});
        }
        for (char sep : {',', '.'}) {
            ASSERT_EQ(WriteProject(d, sep), WrittenBefore(d, sep));
        }
    }
    for (int i = 0; i < 200000; ++i) {
        const double v = value();
        for (char sep : {',', '.'}) {
            ASSERT_EQ(FormatGeneralNumber(v, sep), before::FormatGeneralNumber(v, sep)) << v;
        }
    }
}

} // namespace
} // namespace quillet
