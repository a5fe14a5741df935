#include "project/numbers.h"

#include <array>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <vector>

namespace quillet {

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

double ParseNumber(std::string text, char decimalSeparator) {
    return ParseNumberChecked(text, decimalSeparator).value_or(0.0);
}

bool FileExists(const std::string& path) {
    if (path.find_first_not_of(' ') == std::string::npos || path.find('\0') != std::string::npos) {
        return false;
    }
    try {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(path, ec);
        return !ec && std::filesystem::is_regular_file(status);
    } catch (...) {
        return false;
    }
}

double RoundHalfEven(double v) {
    // Independent of the floating-point rounding mode, unlike nearbyint.
    double r = std::round(v);
    if (std::fabs(r - v) == 0.5 && std::fmod(r, 2.0) != 0) {
        r -= std::copysign(1.0, v);
    }
    return r;
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

std::string FormatInteger(long long v) {
    return std::to_string(v);
}

std::string LowerEnding(const std::string& path) {
    std::string tail = path.size() > 4 ? path.substr(path.size() - 4) : path;
    for (char& c : tail) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return tail;
}

} // namespace quillet
