#include "project/numbers.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <string>

namespace quillet {
namespace {

constexpr char kSeparators[] = {',', '.'};

// The nearest double, as a correctly rounded pow gives it.
double Power(long long e) {
    return std::strtod(("1e" + std::to_string(e)).c_str(), nullptr);
}

// The conversion as written: recursive, the fraction text changed by reference.
double ReferenceParse(std::string& text, char decimal) {
    if (!IsNumericText(text, decimal)) {
        return 0;
    }
    for (char& c : text) {
        if (c == ',') {
            c = '.';
        }
    }
    const std::size_t p = text.find('.');
    double fraction = 0;
    std::size_t m = 0;
    if (p != std::string::npos) {
        std::string fractionText = text.substr(p + 1);
        fraction = ReferenceParse(fractionText, decimal);
        m = fractionText.size();
        text.resize(p);
    }
    bool negative = false;
    if (!text.empty() && text[0] == '-') {
        text.erase(0, 1);
        negative = true;
    }
    double sum = 0;
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n; ++i) {
        sum = sum + Power(static_cast<long long>(i)) * (text[n - 1 - i] - 48);
        if (!std::isfinite(sum)) {
            return 0;
        }
    }
    double result = sum;
    if (p != std::string::npos) {
        result = Power(-static_cast<long long>(m)) * fraction + sum;
    }
    if (!std::isfinite(result)) {
        return 0;
    }
    return negative ? -result : result;
}

double RoundTo15Digits(double v) {
    char buffer[64];
    const auto end =
        std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::scientific, 14).ptr;
    double r = 0;
    std::from_chars(buffer, end, r);
    return r;
}

TEST(ParseNumberTest, DigitByDigitResults) {
    for (char sep : kSeparators) {
        SCOPED_TRACE(sep);
        EXPECT_EQ(ParseNumber("12,5", sep), 12.5);
        EXPECT_EQ(ParseNumber("12.5", sep), 12.5);
        EXPECT_EQ(ParseNumber("-0,25", sep), -0.25);
        EXPECT_EQ(ParseNumber(",5", sep), 0.5);
        EXPECT_EQ(ParseNumber("5,", sep), 5.0);
        EXPECT_EQ(ParseNumber("007", sep), 7.0);
        EXPECT_EQ(ParseNumber("100", sep), 100.0);
        // Not the double nearest to 0.3: files are read this way, so this is the format.
        EXPECT_EQ(ParseNumber("0,3", sep), 0.30000000000000004);
        EXPECT_NE(ParseNumber("0,3", sep), 0.3);
        // 10^23 lies exactly between two doubles; the power must be the nearest (even) one on
        // every machine, whatever the library's pow makes of the tie.
        EXPECT_EQ(ParseNumber("1" + std::string(23, '0'), sep), 1e23);
    }
}

TEST(ParseNumberTest, NonNumericTextGivesZero) {
    for (char sep : kSeparators) {
        SCOPED_TRACE(sep);
        for (const char* text : {"", "   ", "abc", "12a", "-", ",", "1-", "--1", "1 2", "e5", "1e",
                                 "1e+", "$5", "0x10", "(5)", "5%", "\t5", "1,2e3.4"}) {
            SCOPED_TRACE(text);
            EXPECT_FALSE(IsNumericText(text, sep));
            EXPECT_EQ(ParseNumber(text, sep), 0.0);
        }
    }
}

TEST(ParseNumberTest, OverflowGivesZero) {
    const std::string huge = "1" + std::string(399, '0');
    for (char sep : kSeparators) {
        EXPECT_EQ(ParseNumber(huge, sep), 0.0);
        EXPECT_EQ(ParseNumber("-" + huge, sep), 0.0);
        EXPECT_FALSE(ParseNumberChecked(huge, sep).has_value());
        EXPECT_EQ(ParseNumber(huge + ",5", sep), 0.0);
        // Leading zeros count as digits: the power of ten overflows all the same.
        EXPECT_EQ(ParseNumber(std::string(310, '0') + "5", sep), 0.0);
        // The fraction is converted on its own, so its overflow costs only the fraction.
        EXPECT_EQ(ParseNumber("3," + huge, sep), 3.0);
        EXPECT_EQ(ParseNumber("1E400", sep), 0.0);
        EXPECT_FALSE(ParseNumberChecked("1E400", sep).has_value());
        EXPECT_FALSE(ParseNumberChecked(" 1" + std::string(400, '0') + " ", sep).has_value());
    }
    // A genuine 0 is not an overflow.
    EXPECT_EQ(ParseNumberChecked("0", '.'), 0.0);
    EXPECT_EQ(ParseNumberChecked("1e-400", '.'), 0.0);
    EXPECT_EQ(ParseNumberChecked("0,00000000001e-330", ','), 0.0);
    EXPECT_FALSE(ParseNumberChecked("100000000000e300", '.').has_value());
    EXPECT_FALSE(ParseNumberChecked("0000000000001e309", '.').has_value());
}

TEST(ParseNumberTest, SpacesSignsAndExponentsReadByValue) {
    for (char sep : kSeparators) {
        SCOPED_TRACE(sep);
        EXPECT_EQ(ParseNumber(" 12 ", sep), 12.0);
        EXPECT_EQ(ParseNumber("+3", sep), 3.0);
        EXPECT_EQ(ParseNumber("  -7,5", sep), -7.5);
        EXPECT_EQ(ParseNumber("0,3 ", sep), 0.3);
        EXPECT_EQ(ParseNumber("1,4210854715202E-14", sep), 1.4210854715202e-14);
        EXPECT_EQ(ParseNumber("1.4210854715202E-14", sep), 1.4210854715202e-14);
        EXPECT_EQ(ParseNumber("-2,5e+2", sep), -250.0);
        EXPECT_EQ(ParseNumber("5,E3", sep), 5000.0);
        EXPECT_EQ(ParseNumber(",5e1", sep), 5.0);
        EXPECT_EQ(ParseNumber("1E-400", sep), 0.0);
    }
}

TEST(ParseNumberTest, GroupingSeparatorsAreReadAsTheDigitRuleReadsThem) {
    // Under a decimal comma the point groups, so these are numeric; the digit rule then takes
    // the first separator as the decimal one.
    EXPECT_TRUE(IsNumericText("1.234,5", ','));
    EXPECT_FALSE(IsNumericText("1.234,5", '.'));
    EXPECT_TRUE(IsNumericText("1,234.5", '.'));
    EXPECT_FALSE(IsNumericText("1,5,3", ','));
    EXPECT_TRUE(IsNumericText("1,5,3", '.'));
    EXPECT_NEAR(ParseNumber("1.234,5", ','), 1.2345, 1e-15);
    EXPECT_NEAR(ParseNumber(" 1.234,5 ", ','), 1.2345, 1e-15);
    EXPECT_NEAR(ParseNumber("1.2.3.4", ','), 1.234, 1e-15);
    // Under a decimal point "2.3.4" is not numeric, so the fraction counts 0 over 5 characters.
    EXPECT_EQ(ParseNumber("1,2,3.4", '.'), 1.0);
}

TEST(ParseNumberTest, MatchesTheRecursiveConversionBitForBit) {
    std::mt19937 rng(12345);
    const std::string alphabet = "0123456789,.";
    std::uniform_int_distribution<std::size_t> length(0, 24);
    std::uniform_int_distribution<std::size_t> pick(0, alphabet.size() - 1);
    std::uniform_int_distribution<int> coin(0, 3);
    for (int round = 0; round < 20000; ++round) {
        std::string text = coin(rng) == 0 ? "-" : "";
        const std::size_t n = length(rng);
        for (std::size_t i = 0; i < n; ++i) {
            // Mostly digits, so that long runs reach the interesting fractions.
            text += coin(rng) == 0 ? alphabet[pick(rng)] : alphabet[pick(rng) % 10];
        }
        for (char sep : kSeparators) {
            std::string copy = text;
            const double expected = ReferenceParse(copy, sep);
            const double actual = ParseNumber(text, sep);
            ASSERT_EQ(std::signbit(actual), std::signbit(expected)) << text << " " << sep;
            ASSERT_EQ(actual, expected) << text << " " << sep;
        }
    }
}

TEST(ParseNumberTest, ThousandsOfSeparatorsDoNotExhaustTheStack) {
    std::string text = "1";
    while (text.size() < 200000) {
        text += ".1";
    }
    ASSERT_TRUE(IsNumericText(text, ','));
    const double v = ParseNumber(text, ',');
    EXPECT_GT(v, 1.11);
    EXPECT_LT(v, 1.12);
}

TEST(IsNumericTextTest, AcceptsTheNumberForms) {
    for (char sep : kSeparators) {
        SCOPED_TRACE(sep);
        for (const char* text :
             {"0", "-0", "7", "12,5", "12.5", ",5", ".5", "5,", "5.", " 3", "3  ", "+3", "-3",
              "1e5", "1E-5", "1,5e+10", " -2,5E3 ", "2147483647", "-2147483648"}) {
            SCOPED_TRACE(text);
            EXPECT_TRUE(IsNumericText(text, sep));
        }
    }
    // A decimal separator only once, and no grouping after it.
    EXPECT_FALSE(IsNumericText("1,2,3", ','));
    EXPECT_FALSE(IsNumericText("1.2.3", '.'));
    EXPECT_FALSE(IsNumericText("1,2.3", ','));
    EXPECT_TRUE(IsNumericText("1.2.3", ','));
    EXPECT_FALSE(IsNumericText("1e5.5", '.'));
    EXPECT_FALSE(IsNumericText("- 1", '.'));
}

TEST(FormatGeneralNumberTest, GeneralForm) {
    EXPECT_EQ(FormatGeneralNumber(13.397459621556138, ','), "13,3974596215561");
    EXPECT_EQ(FormatGeneralNumber(13.397459621556138, '.'), "13.3974596215561");
    EXPECT_EQ(FormatGeneralNumber(100, ','), "100");
    EXPECT_EQ(FormatGeneralNumber(0.5, ','), "0,5");
    EXPECT_EQ(FormatGeneralNumber(-0.25, '.'), "-0.25");
    EXPECT_EQ(FormatGeneralNumber(-150, ','), "-150");
    EXPECT_EQ(FormatGeneralNumber(0.1 + 0.2, ','), "0,3");
    EXPECT_EQ(FormatGeneralNumber(1.0 / 3, ','), "0,333333333333333");
    EXPECT_EQ(FormatGeneralNumber(2.0 / 3, ','), "0,666666666666667");
    EXPECT_EQ(FormatGeneralNumber(99.9999999999999999, ','), "100");
    EXPECT_EQ(FormatGeneralNumber(999999999999999.5, ','), "1000000000000000");
    EXPECT_EQ(FormatGeneralNumber(123456789012345678.0, ','), "123456789012346000");
    EXPECT_EQ(FormatGeneralNumber(-1.5, ','), "-1,5");
}

TEST(FormatGeneralNumberTest, NoExponentForTinyOrHugeMagnitudes) {
    EXPECT_EQ(FormatGeneralNumber(1.4210854715202E-14, ','), "0,000000000000014210854715202");
    EXPECT_EQ(FormatGeneralNumber(-1.4210854715202E-14, '.'), "-0.000000000000014210854715202");
    EXPECT_EQ(FormatGeneralNumber(1e20, ','), "100000000000000000000");
    EXPECT_EQ(FormatGeneralNumber(1e-5, '.'), "0.00001");
    // Past the reader's reach the digits are cut to what it reads back: rounded down below
    // the largest double, and at most 307 fraction digits.
    EXPECT_EQ(FormatGeneralNumber(std::numeric_limits<double>::max(), '.'),
              "179769313486231" + std::string(294, '0'));
    EXPECT_EQ(FormatGeneralNumber(1.23456789012345e-296, '.'),
              "0." + std::string(295, '0') + "123456789012");
    EXPECT_EQ(FormatGeneralNumber(std::numeric_limits<double>::denorm_min(), ','), "0");
}

// Near the reader's limit of fraction digits the 15-digit text is kept whenever the reader
// reads it back as the value itself; elsewhere the text stays what it always was.
TEST(FormatGeneralNumberTest, TinyValuesKeepTheDigitsThatReadBack) {
    struct Kept {
        double value;
        std::string_view digits; // significant, as the literal spells them
        int exponent;
    };
    for (const Kept& row :
         {Kept{1e-308, "1", -308}, Kept{-1.1e-307, "11", -307}, Kept{7.25e-306, "725", -306},
          Kept{9.87654321e-300, "987654321", -300},
          Kept{1.6180339887499e-295, "16180339887499", -295},
          Kept{3.14159265358979e-294, "314159265358979", -294}, Kept{1e-309, "1", -309}}) {
        for (char sep : kSeparators) {
            const std::string expected =
                std::string(row.value < 0 ? "-0" : "0") + sep +
                std::string(static_cast<std::size_t>(-row.exponent - 1), '0') +
                std::string(row.digits);
            const std::string text = FormatGeneralNumber(row.value, sep);
            EXPECT_EQ(text, expected) << row.value;
            EXPECT_EQ(ParseNumber(text, sep), row.value) << row.value;
        }
    }

    struct Unchanged {
        double value;
        std::string text;
    };
    const std::vector<Unchanged> unchanged{
        {0.1, "0,1"},
        {13.397459621556138, "13,3974596215561"},
        {1e-293, "0," + std::string(292, '0') + "1"},
        // 15 digits would read back as another value: cut to 307 fraction digits.
        {1.23456789e-300, "0," + std::string(299, '0') + "12345679"},
        {-1.2345e-305, "-0," + std::string(304, '0') + "123"},
        {1.23456789012345e-296, "0," + std::string(295, '0') + "123456789012"},
        {std::numeric_limits<double>::min(), "0"},
        {std::numeric_limits<double>::denorm_min(), "0"},
    };
    for (const Unchanged& row : unchanged) {
        EXPECT_EQ(FormatGeneralNumber(row.value, ','), row.text) << row.value;
    }
}

// Whatever the reader can load, a save writes so that it loads again as (nearly) the same
// value, and from then on exactly the same.
TEST(FormatGeneralNumberTest, EveryValueSurvivesSaveAndReload) {
    std::mt19937_64 rng(7);
    std::vector<double> values{std::numeric_limits<double>::max(),
                               std::numeric_limits<double>::min(),
                               std::numeric_limits<double>::denorm_min(),
                               1.7976931348623157e308,
                               9.99999999999999999e307,
                               1e-294,
                               1.23456789012345e-296,
                               1e-309,
                               13.397459621556138,
                               0.1};
    std::uniform_int_distribution<int> exponent(-330, 308);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    for (int i = 0; i < 20000; ++i) {
        values.push_back(mantissa(rng) * std::pow(10.0, exponent(rng)));
    }
    for (double magnitude : values) {
        for (double v : {magnitude, -magnitude}) {
            if (!std::isfinite(v)) {
                continue;
            }
            for (char sep : {',', '.'}) {
                const std::string text = FormatGeneralNumber(v, sep);
                const std::optional<double> back = ParseNumberChecked(text, sep);
                ASSERT_TRUE(back.has_value()) << v << " as " << text;
                ASSERT_TRUE(std::fabs(*back - v) <= 1e-13 * std::fabs(v) ||
                            std::fabs(*back - v) <= 1e-294)
                    << v << " came back as " << *back;
                ASSERT_EQ(FormatGeneralNumber(*back, sep), text) << v;
            }
        }
    }
}

TEST(FormatGeneralNumberTest, ZeroAndNonFiniteValuesAreZero) {
    EXPECT_EQ(FormatGeneralNumber(0.0, ','), "0");
    EXPECT_EQ(FormatGeneralNumber(-0.0, ','), "0");
    EXPECT_EQ(FormatGeneralNumber(std::numeric_limits<double>::infinity(), ','), "0");
    EXPECT_EQ(FormatGeneralNumber(-std::numeric_limits<double>::infinity(), '.'), "0");
    EXPECT_EQ(FormatGeneralNumber(std::numeric_limits<double>::quiet_NaN(), '.'), "0");
}

TEST(FormatGeneralNumberTest, ReadsBackAsTheValueRoundedTo15Digits) {
    std::mt19937_64 rng(2024);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    // Below about 1e-293 the written fraction is too long for the digit rule to read back.
    std::uniform_int_distribution<int> exponent(-292, 300);
    std::uniform_int_distribution<int> coin(0, 1);
    for (int round = 0; round < 20000; ++round) {
        double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        if (coin(rng) != 0) {
            v = -v;
        }
        for (char writeSep : kSeparators) {
            const std::string text = FormatGeneralNumber(v, writeSep);
            ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
            for (char readSep : kSeparators) {
                ASSERT_TRUE(IsNumericText(text, readSep)) << text;
                const double expected = RoundTo15Digits(v);
                const double actual = ParseNumber(text, readSep);
                ASSERT_LE(std::fabs(actual - expected), 1e-14 * std::fabs(expected))
                    << v << " written " << text;
            }
        }
    }
}

TEST(FormatIntegerTest, ExtremeColoursReadBack) {
    for (char sep : kSeparators) {
        EXPECT_EQ(ParseNumber(FormatInteger(-2147483648LL), sep), -2147483648.0);
        EXPECT_EQ(ParseNumber(FormatInteger(2147483647LL), sep), 2147483647.0);
    }
}

TEST(RoundHalfEvenTest, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(3.5), 4.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-3.5), -4.0);
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(1.4999999999999998), 1.0);
    EXPECT_EQ(RoundHalfEven(2.5000000000000004), 3.0);
    EXPECT_EQ(RoundHalfEven(-7.6), -8.0);
    EXPECT_EQ(RoundHalfEven(4503599627370497.0), 4503599627370497.0);
}

class FileExistsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = std::filesystem::temp_directory_path() /
               ("quillet_file_exists_" + std::to_string(seed()));
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override {
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Touch(const std::string& name) {
        const std::filesystem::path path = dir_ / name;
        std::ofstream(path) << "x";
        return path.string();
    }
    std::filesystem::path dir_;
};

TEST_F(FileExistsTest, OnlyExistingRegularFiles) {
    EXPECT_TRUE(FileExists(Touch("drawing.qlf")));
    EXPECT_TRUE(FileExists(Touch(".hidden.qlf")));
    EXPECT_TRUE(FileExists(Touch("with space.qlf")));
    EXPECT_FALSE(FileExists((dir_ / "missing.qlf").string()));
    EXPECT_FALSE(FileExists((dir_ / "missing" / "deeper.qlf").string()));
    EXPECT_FALSE(FileExists(dir_.string()));
    std::filesystem::create_directory(dir_ / "folder.qlf");
    EXPECT_FALSE(FileExists((dir_ / "folder.qlf").string()));
    // A file's path used as a folder is an error, not a file.
    EXPECT_FALSE(FileExists((dir_ / "drawing.qlf" / "x").string()));
}

TEST_F(FileExistsTest, EmptyOrBrokenPaths) {
    const std::string file = Touch("a.qlf");
    EXPECT_FALSE(FileExists(""));
    EXPECT_FALSE(FileExists("   "));
    EXPECT_FALSE(FileExists(file + std::string(1, '\0') + "junk"));
    EXPECT_FALSE(FileExists(std::string(100000, 'a')));
}

} // namespace
} // namespace quillet
