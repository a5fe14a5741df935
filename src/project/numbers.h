#pragma once
// Number text as the project file and the corner-count box use it, and the file test.
// The decimal separator is the user's (',' or '.'; anything else counts as '.'); the other of
// the two is the grouping separator.

#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// Optional spaces around an optional sign, digits with decimal and grouping separators, and an
// optional exponent. Every number the project writer produces passes under either separator.
bool IsNumericText(std::string_view text, char decimalSeparator);

// Converts digit by digit, taking ',' and '.' alike as the decimal separator. Its results (0,3
// giving 0.30000000000000004) are part of the project format, so they must not be "improved".
// Text that is not numeric, and any overflow, give 0. Text with surrounding spaces, a '+' or an
// exponent is converted to the value it writes instead.
double ParseNumber(std::string_view text, char decimalSeparator);

// ParseNumber, except that an overflow gives no value rather than 0, so that a reader can tell
// a number too large for a double from a written 0.
std::optional<double> ParseNumberChecked(std::string_view text, char decimalSeparator);

// IsNumericText and ParseNumberChecked at once, for readers of many numbers: the text is
// looked at once, and the writer's form is converted in the same pass.
struct NumberReading {
    bool numeric = false;
    std::optional<double> value; // ParseNumberChecked's answer
};
NumberReading ReadNumber(std::string_view text, char decimalSeparator);

// True only for an existing regular file (hidden ones included); never throws.
bool FileExists(const std::string& path);

// The last four characters of a path (all of it when shorter), lower-cased: how ".qlf" and
// ".bmp" are recognised.
std::string LowerEnding(const std::string& path);

// Nearest integer, halves to the even neighbour (2.5 gives 2, 3.5 gives 4).
double RoundHalfEven(double v);

// At most 15 significant digits, never an exponent, no trailing zeros. Infinities and NaN cannot
// be read back by any reader of the format, so they are written as "0".
std::string FormatGeneralNumber(double v, char decimalSeparator);
// The same text, appended.
void AppendGeneralNumber(std::string& out, double v, char decimalSeparator);

std::string FormatInteger(long long v);

} // namespace quillet
