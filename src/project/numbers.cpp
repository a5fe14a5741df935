#include "project/numbers.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

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

const PowerTable& Powers() {
    static const PowerTable table;
    return table;
}

// Callers keep e at most LARGEST_POWER.
double PowerOfTen(long long e) {
    if (e < SMALLEST_POWER) {
        return 0;
    }
    return Powers().values[static_cast<std::size_t>(e - SMALLEST_POWER)];
}

// Eight characters at once, in memory order.
std::uint64_t LoadEight(const char* p) {
    std::uint64_t chunk = 0;
    if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(&chunk, p, sizeof chunk);
    } else {
        for (int i = 0; i < 8; ++i) {
            chunk |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
        }
    }
    return chunk;
}

bool AllEightDigits(std::uint64_t chunk) {
    // Each byte in 0x30..0x39: high nibble 3, and adding 6 does not carry out of the low one.
    return ((chunk & 0xF0F0F0F0F0F0F0F0) |
            (((chunk + 0x0606060606060606) & 0xF0F0F0F0F0F0F0F0) >> 4)) == 0x3333333333333333;
}

std::uint64_t EightDigitsValue(std::uint64_t chunk) {
    // Pairs, then fours, then all eight, each step one multiply.
    chunk -= 0x3030303030303030;
    chunk = (chunk * 10) + (chunk >> 8);
    chunk = (((chunk & 0x000000FF000000FF) * (100 + (1000000ULL << 32))) +
             (((chunk >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32)))) >>
            32;
    return chunk;
}

// Reads a run of digits from p, as an integer (wrapping past 19 digits), and moves p past it.
inline std::uint64_t GatherDigits(const char*& p, const char* end) {
    std::uint64_t value = 0;
    while (end - p >= 8) {
        const std::uint64_t chunk = LoadEight(p);
        if (!AllEightDigits(chunk)) {
            break;
        }
        value = value * 100000000 + EightDigitsValue(chunk);
        p += 8;
    }
    while (p != end && IsDigit(*p)) {
        value = value * 10 + static_cast<std::uint64_t>(*p - '0');
        ++p;
    }
    return value;
}

// 2^53: below it every integer is a double.
constexpr std::uint64_t EXACT_INTEGERS = std::uint64_t{1} << 53;

// Digits taken from the right, each times a floating-point power of ten, summed in that order.
// Overflow (any text of more than 309 characters reaches 10^309) gives no value. `value` is the
// digits read as an integer when there are at most 19 of them (it may have wrapped otherwise).
std::optional<double> DigitSum(std::string_view digits, std::uint64_t value) {
    const std::size_t n = digits.size();
    if (n > LARGEST_POWER + 1) {
        return std::nullopt;
    }
    // Below 2^53 every nonzero term is a digit times an exact power up to 10^15 and every
    // partial sum is an integer below the value, so the sum in that order is the value itself.
    if (n <= 19 && value < EXACT_INTEGERS) {
        return static_cast<double>(value);
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

std::optional<double> DigitSum(std::string_view digits) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < digits.size() && i < 19; ++i) {
        value = value * 10 + static_cast<std::uint64_t>(digits[i] - '0');
    }
    return DigitSum(digits, value);
}

// The conversion recurses on the fraction text, and each recursion cuts its text (by reference)
// at its own first separator, which sets the power of ten the caller scales with. Unrolled from
// the innermost level, walking the parts between separators from the right, so that a text of
// thousands of separators cannot exhaust the stack. Reached only by text of digits, separators
// and one leading '-'.
std::optional<double> ConvertDigitByDigit(std::string_view text, char decimal) {
    std::size_t first = 0;
    while (first < text.size() && !IsSeparator(text[first])) {
        ++first;
    }

    // Value and remaining length of the level below the one being worked out. The texts of the
    // inner levels hold only digits and '.', the separators all having become '.'.
    double innerValue = 0;
    std::size_t innerLength = 0;
    std::size_t digitsBelow = 0;
    std::size_t dots = 0; // separators right of the level's own
    std::size_t partEnd = text.size();
    for (std::size_t at = text.size(); at-- > first;) {
        if (!IsSeparator(text[at])) {
            continue;
        }
        const std::string_view part = text.substr(at + 1, partEnd - at - 1);
        digitsBelow += part.size();
        // Under a decimal point every '.' is one; under a decimal comma each '.' groups.
        const bool numeric = digitsBelow > 0 && (decimal == ',' || dots <= 1);
        double value = 0;
        std::size_t length = digitsBelow + dots;
        if (numeric) {
            length = part.size();
            const std::optional<double> whole = DigitSum(part);
            if (dots == 0) {
                value = whole.value_or(0);
            } else if (whole) {
                const double v =
                    PowerOfTen(-static_cast<long long>(innerLength)) * innerValue + *whole;
                value = std::isfinite(v) ? v : 0;
            }
        }
        innerValue = value;
        innerLength = length;
        partEnd = at;
        ++dots;
    }

    std::string_view head = text.substr(0, first);
    const bool negative = !head.empty() && head.front() == '-';
    if (negative) {
        head.remove_prefix(1);
    }
    const std::optional<double> whole = DigitSum(head);
    if (!whole) {
        return std::nullopt;
    }
    double result = *whole;
    if (first < text.size()) {
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
    // On the stack unless the text is long.
    char small[128];
    std::string large;
    char* clean = small;
    if (text.size() > sizeof small) {
        large.resize(text.size());
        clean = large.data();
    }
    std::size_t length = 0;
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
                clean[length++] = '.';
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
        clean[length++] = c;
    }
    double value = 0;
    const auto [ptr, ec] = std::from_chars(clean, clean + length, value);
    if (ec == std::errc::result_out_of_range) {
        // Too small to hold is 0; too large is an overflow.
        if (firstNonZero < 0) {
            return 0.0;
        }
        const long long order =
            digitsBeforePoint - firstNonZero - 1 + (exponentNegative ? -exponent : exponent);
        if (order < 0) {
            return clean[0] == '-' ? -0.0 : 0.0;
        }
        return std::nullopt;
    }
    if (ec != std::errc() || ptr != clean + length || !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

enum class Form {
    NotNumeric,
    DigitRule, // sign '-' or none, digits and separators only
    ByValue,   // with surrounding spaces, a '+' or an exponent
};

// The numeric test, telling at once which conversion the text takes.
Form Classify(std::string_view text, char decimalSeparator) {
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
    bool byValue = i > 0 || end < text.size();
    if (i < end && (text[i] == '+' || text[i] == '-')) {
        byValue = byValue || text[i] == '+';
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
        return Form::NotNumeric;
    }
    if (i < end && (text[i] == 'e' || text[i] == 'E')) {
        byValue = true;
        ++i;
        if (i < end && (text[i] == '+' || text[i] == '-')) {
            ++i;
        }
        if (i == end || !IsDigit(text[i])) {
            return Form::NotNumeric;
        }
        while (i < end && IsDigit(text[i])) {
            ++i;
        }
    }
    if (i != end) {
        return Form::NotNumeric;
    }
    return byValue ? Form::ByValue : Form::DigitRule;
}

} // namespace

bool IsNumericText(std::string_view text, char decimalSeparator) {
    return Classify(text, decimalSeparator) != Form::NotNumeric;
}

NumberReading ReadNumber(std::string_view text, char decimalSeparator) {
    // The form the writer produces, "-?D*([,.]D*)?", is tested and its digits gathered in one
    // pass; such text is numeric under either separator whenever it holds a digit.
    const char* p = text.data();
    const char* const end = p + text.size();
    const bool negative = p != end && *p == '-';
    p += negative ? 1 : 0;
    const char* const headBegin = p;
    const std::uint64_t head = GatherDigits(p, end);
    const char* const headEnd = p;
    const bool separator = p != end && IsSeparator(*p);
    p += separator ? 1 : 0;
    const char* const fractionBegin = p;
    const std::uint64_t fraction = GatherDigits(p, end);
    const char* const fractionEnd = p;

    if (p != end || (headEnd == headBegin && fractionEnd == fractionBegin)) {
        switch (Classify(text, decimalSeparator)) {
        case Form::NotNumeric:
            return {false, 0.0};
        case Form::ByValue:
            return {true, ConvertByValue(text)};
        case Form::DigitRule:
            return {true, ConvertDigitByDigit(text, DecimalOf(decimalSeparator))};
        }
    }

    const auto span = [](const char* from, const char* to) {
        return std::string_view(from, static_cast<std::size_t>(to - from));
    };
    const std::optional<double> whole = DigitSum(span(headBegin, headEnd), head);
    if (!whole) {
        return {true, std::nullopt};
    }
    double result = *whole;
    if (separator) {
        // The fraction on its own: its overflow costs only the fraction.
        const std::string_view digits = span(fractionBegin, fractionEnd);
        const double inner = digits.empty() ? 0 : DigitSum(digits, fraction).value_or(0);
        result = PowerOfTen(-static_cast<long long>(digits.size())) * inner + *whole;
        if (!std::isfinite(result)) {
            return {true, std::nullopt};
        }
    }
    return {true, negative ? -result : result};
}

std::optional<double> ParseNumberChecked(std::string_view text, char decimalSeparator) {
    return ReadNumber(text, decimalSeparator).value;
}

double ParseNumber(std::string_view text, char decimalSeparator) {
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
struct Significant {
    char digits[17];
    std::size_t count = 0;
    int exponent = 0;

    std::string_view Digits() const { return {digits, count}; }
};

Significant SignificantDigits(double v, int precision) {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(v),
                                      std::chars_format::scientific, precision - 1);
    const std::string_view text(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const std::size_t e = text.find('e');
    Significant s;
    for (char c : text.substr(0, e)) {
        if (IsDigit(c)) {
            s.digits[s.count++] = c;
        }
    }
    std::from_chars(text.data() + e + (text[e + 1] == '+' ? 2 : 1), text.data() + text.size(),
                    s.exponent);
    while (s.count > 1 && s.digits[s.count - 1] == '0') {
        --s.count;
    }
    return s;
}

// The reader scales the fraction digits by a power of ten that must stay a normal double,
// or the last digits are lost and the value drifts with every save.
constexpr int MOST_FRACTION_DIGITS = 307;

// The digits in plain positional form: no exponent, the decimal separator where it falls.
void AppendPositional(std::string& out, bool negative, const Significant& s, char decimal) {
    if (negative) {
        out += '-';
    }
    const std::string_view digits = s.Digits();
    const long long pointAt = s.exponent + 1; // digits before the separator
    const auto count = static_cast<long long>(digits.size());
    if (pointAt >= count) {
        out += digits;
        out.append(static_cast<std::size_t>(pointAt - count), '0');
    } else if (pointAt > 0) {
        out += digits.substr(0, static_cast<std::size_t>(pointAt));
        out += decimal;
        out += digits.substr(static_cast<std::size_t>(pointAt));
    } else {
        out += '0';
        out += decimal;
        out.append(static_cast<std::size_t>(-pointAt), '0');
        out += digits;
    }
}

} // namespace

void AppendGeneralNumber(std::string& out, double v, char decimalSeparator) {
    if (!std::isfinite(v) || v == 0) {
        out += '0';
        return;
    }
    const char decimal = DecimalOf(decimalSeparator);
    // 15 significant digits, correctly rounded, whatever the locale; then two corrections so
    // that the text reads back as (nearly) v and never as 0.
    Significant s = SignificantDigits(v, 15);
    if (s.exponent > LARGEST_POWER ||
        (s.exponent == LARGEST_POWER && s.Digits() > "179769313486231")) {
        // Rounded up past the largest double: the reader would overflow. Round down instead.
        constexpr std::string_view LARGEST = "179769313486231";
        LARGEST.copy(s.digits, LARGEST.size());
        s.count = LARGEST.size();
        s.exponent = LARGEST_POWER;
    }
    const auto fractionDigits = [&s] { return -s.exponent - 1 + static_cast<int>(s.count); };
    if (s.exponent < 0 && fractionDigits() > MOST_FRACTION_DIGITS) {
        // A longer fraction may still read back as v itself (1e-308 does); only when it does
        // not are fewer significant digits kept, as many as the reader keeps exactly.
        const std::size_t start = out.size();
        AppendPositional(out, v < 0, s, decimal);
        if (ParseNumberChecked(std::string_view(out).substr(start), decimal) == v) {
            return;
        }
        out.resize(start);
        const int precision = MOST_FRACTION_DIGITS + s.exponent + 1;
        if (precision < 1) {
            out += '0';
            return;
        }
        s = SignificantDigits(v, precision);
        if (fractionDigits() > MOST_FRACTION_DIGITS) {
            out += '0';
            return;
        }
    }
    AppendPositional(out, v < 0, s, decimal);
}

std::string FormatGeneralNumber(double v, char decimalSeparator) {
    std::string out;
    AppendGeneralNumber(out, v, decimalSeparator);
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
