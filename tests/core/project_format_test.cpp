#include "project/project_format.h"

#include "project/numbers.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdint>
#include <fcntl.h>
#include <limits>
#include <random>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <variant>
#include <vector>

namespace quillet {
namespace {

constexpr char kSeparators[] = {',', '.'};

const std::vector<std::string> kExampleLines = {
    "*--------------------*",
    "|Tavenor Quillet File|",
    "*--------------------*",
    "",
    "<Punten num=3>",
    "100;100",
    "200;100",
    "150;13,3974596215561",
    "</Punten>",
    "",
    "<Lijnen num=3>",
    "(100;100)---(200;100)",
    "(200;100)---(150;13,3974596215561)",
    "(150;13,3974596215561)---(100;100)",
    "</Lijnen>",
    "",
    "<FloodFill num=1>",
    "255 @ (150;60)",
    "</FloodFill>",
    "",
    "Dit bestand is gegenereerd door Tavenor Quillet.",
    "Als u ook maar het kleinste detail veranderd of verwijderd van dit bestand,",
    "zal het niet meer te openen zijn met Tavenor Quillet.",
    "Alzo spreek ik, Ewout Bramlinck, oprichter en beheerder van Tavenor Corporation.",
};

std::string Join(const std::vector<std::string>& lines, std::string_view end = "\r\n") {
    std::string out;
    for (const std::string& line : lines) {
        out += line;
        out += end;
    }
    return out;
}

// The worked example with its numbers written with the given separator.
std::string ExampleText(char sep) {
    std::vector<std::string> lines = kExampleLines;
    for (std::size_t i = 4; i < 20; ++i) {
        for (char& c : lines[i]) {
            if (c == ',') {
                c = sep;
            }
        }
    }
    return Join(lines);
}

ProjectData ExampleDrawing() {
    const udtPoint a{100, 100}, b{200, 100}, c{150, 13.397459621556138};
    ProjectData d;
    d.points = {a, b, c};
    d.lines = {{a.X, a.Y, b.X, b.Y}, {b.X, b.Y, c.X, c.Y}, {c.X, c.Y, a.X, a.Y}};
    d.fills = {{255, 150, 60}};
    return d;
}

// The example with one line replaced (1-based number), removed (empty replacement list) or
// expanded into several.
std::string ExampleWith(int number, const std::vector<std::string>& replacement) {
    std::vector<std::string> lines = kExampleLines;
    lines.erase(lines.begin() + (number - 1));
    lines.insert(lines.begin() + (number - 1), replacement.begin(), replacement.end());
    return Join(lines);
}

ProjectData MustParse(std::string_view text, char sep) {
    auto result = ParseProject(text, sep);
    if (const auto* error = std::get_if<ProjectError>(&result)) {
        ADD_FAILURE() << "line " << error->line << ": expected " << error->expected;
        return {};
    }
    return std::get<ProjectData>(result);
}

int ErrorLine(std::string_view text, char sep) {
    auto result = ParseProject(text, sep);
    const auto* error = std::get_if<ProjectError>(&result);
    if (error == nullptr) {
        return 0;
    }
    EXPECT_FALSE(error->expected.empty());
    return error->line;
}

TEST(WriteProjectTest, WorkedExampleByteForByte) {
    EXPECT_EQ(WriteProject(ExampleDrawing(), ','), Join(kExampleLines));
    EXPECT_EQ(WriteProject(ExampleDrawing(), '.'), ExampleText('.'));
    EXPECT_NE(ExampleText('.'), Join(kExampleLines));
}

TEST(WriteProjectTest, EmptyListsAndExtremeValues) {
    ProjectData d;
    d.fills = {{-2147483647 - 1, -0.0, 1.4210854715202E-14}, {2147483647, 1e20, -2.5}};
    const std::string text = WriteProject(d, ',');
    EXPECT_NE(text.find("\r\n<Punten num=0>\r\n</Punten>\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\n-2147483648 @ (0;0,000000000000014210854715202)\r\n"),
              std::string::npos);
    EXPECT_NE(text.find("\r\n2147483647 @ (100000000000000000000;-2,5)\r\n"), std::string::npos);
}

TEST(ParseProjectTest, WorkedExampleUnderEitherSeparator) {
    const double y = ParseNumber("13,3974596215561", ',');
    ProjectData expected = ExampleDrawing();
    expected.points[2].Y = y;
    expected.lines[1].Y2 = y;
    expected.lines[2].Y1 = y;
    for (char writeSep : kSeparators) {
        const std::string text = ExampleText(writeSep);
        for (char readSep : kSeparators) {
            EXPECT_EQ(MustParse(text, readSep), expected) << writeSep << readSep;
        }
    }
}

TEST(ParseProjectTest, RoundTripKeepsTheWrittenDigits) {
    std::mt19937_64 rng(7);
    std::uniform_real_distribution<double> coordinate(-2000, 2000);
    std::uniform_int_distribution<std::int32_t> colour(std::numeric_limits<std::int32_t>::min(),
                                                       std::numeric_limits<std::int32_t>::max());
    ProjectData d;
    for (int i = 0; i < 500; ++i) {
        d.points.push_back({coordinate(rng), coordinate(rng)});
        d.lines.push_back({coordinate(rng), coordinate(rng), coordinate(rng), coordinate(rng)});
        d.fills.push_back({colour(rng), coordinate(rng), coordinate(rng)});
    }
    d.points.push_back({1.4210854715202E-14, -3.5e-9});
    d.points.push_back({123456789.123456789, 0});
    d.fills.push_back({0, 0.5, 12.5});

    for (char writeSep : kSeparators) {
        const std::string text = WriteProject(d, writeSep);
        for (char readSep : kSeparators) {
            const ProjectData back = MustParse(text, readSep);
            ASSERT_EQ(back.points.size(), d.points.size());
            ASSERT_EQ(back.lines.size(), d.lines.size());
            ASSERT_EQ(back.fills.size(), d.fills.size());
            const auto read = [&](double v) {
                return ParseNumber(FormatGeneralNumber(v, writeSep), readSep);
            };
            for (std::size_t i = 0; i < d.points.size(); ++i) {
                EXPECT_EQ(back.points[i].X, read(d.points[i].X));
                EXPECT_EQ(back.points[i].Y, read(d.points[i].Y));
            }
            for (std::size_t i = 0; i < d.lines.size(); ++i) {
                EXPECT_EQ(back.lines[i], (udtLine{read(d.lines[i].X1), read(d.lines[i].Y1),
                                                  read(d.lines[i].X2), read(d.lines[i].Y2)}));
            }
            for (std::size_t i = 0; i < d.fills.size(); ++i) {
                EXPECT_EQ(back.fills[i],
                          (udtFill{d.fills[i].Color, read(d.fills[i].X), read(d.fills[i].Y)}));
            }
            // What was read writes the same file again.
            EXPECT_EQ(WriteProject(back, writeSep), text);
        }
    }
}

struct MalformedCase {
    const char* name;
    std::string text;
    int line;
};

std::vector<MalformedCase> MalformedCases() {
    const std::string example = Join(kExampleLines);
    std::vector<std::string> firstTen(kExampleLines.begin(), kExampleLines.begin() + 10);
    std::vector<std::string> firstTwelve(kExampleLines.begin(), kExampleLines.begin() + 12);
    std::vector<std::string> firstTwentyThree(kExampleLines.begin(), kExampleLines.begin() + 23);
    std::string lfOnly = Join(kExampleLines, "\n");
    std::string lfBeforeCr = Join(kExampleLines, "\n\r");
    return {
        {"empty file", "", 1},
        {"LF-only line ends", lfOnly, 1},
        {"LF before CR", lfBeforeCr, 1},
        {"title letter changed", ExampleWith(2, {"|Tavenor Quillet Filf|"}), 2},
        {"title letter case", ExampleWith(2, {"|tavenor Quillet File|"}), 2},
        {"rule trailing space", ExampleWith(1, {"*--------------------* "}), 1},
        {"second rule shorter", ExampleWith(3, {"*-------------------*"}), 3},
        {"space in empty line", ExampleWith(4, {" "}), 4},
        {"empty line missing", ExampleWith(4, {}), 4},
        {"points count 0", ExampleWith(5, {"<Punten num=0>"}), 5},
        {"points count -1", ExampleWith(5, {"<Punten num=-1>"}), 5},
        {"points count 0,4", ExampleWith(5, {"<Punten num=0,4>"}), 5},
        {"points count missing", ExampleWith(5, {"<Punten num=>"}), 5},
        {"points count a word", ExampleWith(5, {"<Punten num=drie>"}), 5},
        {"points head case", ExampleWith(5, {"<punten num=3>"}), 5},
        {"points head unclosed", ExampleWith(5, {"<Punten num=3"}), 5},
        {"points head unclosed after its count", ExampleWith(5, {"<Punten num=1x"}), 5},
        {"points count 32768", ExampleWith(5, {"<Punten num=32768>"}), 5},
        {"points count 32767,5 rounds up", ExampleWith(5, {"<Punten num=32767,5>"}), 5},
        {"points count beyond a double",
         ExampleWith(5, {"<Punten num=1" + std::string(400, '0') + ">"}), 5},
        {"point with three values", ExampleWith(6, {"100;100;1"}), 6},
        {"point with one value", ExampleWith(7, {"200"}), 7},
        {"point not numeric", ExampleWith(8, {"150;13,39x"}), 8},
        {"point with two separators", ExampleWith(8, {"150;13,3.9,1"}), 8},
        {"point lines fewer than the count", ExampleWith(8, {}), 8},
        {"point lines more than the count", ExampleWith(8, {"150;1", "150;2"}), 9},
        {"points end tag", ExampleWith(9, {"</Punten >"}), 9},
        {"stops after the points", Join(firstTen), 11},
        {"lines count 0", ExampleWith(11, {"<Lijnen num=0>"}), 11},
        {"lines count 40000", ExampleWith(11, {"<Lijnen num=40000>"}), 11},
        {"line with three parts", ExampleWith(12, {"(100;100)---(200;100)---(1;1)"}), 12},
        {"line with four dashes", ExampleWith(12, {"(100;100)----(200;100)"}), 12},
        {"line without brackets", ExampleWith(12, {"100;100---(200;100)"}), 12},
        {"line with square brackets", ExampleWith(12, {"[100;100]---[200;100]"}), 12},
        {"line end with three values", ExampleWith(13, {"(200;100)---(150;1;2)"}), 13},
        {"line end empty", ExampleWith(13, {"(200;100)---()"}), 13},
        {"line end bracket only", ExampleWith(13, {"(200;100)---("}), 13},
        {"stops in the line lines", Join(firstTwelve), 13},
        {"lines end tag", ExampleWith(15, {"</lijnen>"}), 15},
        {"fills head tag", ExampleWith(17, {"<Floodfill num=1>"}), 17},
        {"fills count 32768", ExampleWith(17, {"<FloodFill num=32768>"}), 17},
        {"fills count beyond a double", ExampleWith(17, {"<FloodFill num=-1E400>"}), 17},
        {"fill without @", ExampleWith(18, {"255 (150;60)"}), 18},
        {"fill without spaces around @", ExampleWith(18, {"255@(150;60)"}), 18},
        {"fill without colour", ExampleWith(18, {" @ (150;60)"}), 18},
        {"fill with a colour of spaces", ExampleWith(18, {"   @ (5;5)"}), 18},
        {"fill without point", ExampleWith(18, {"255 @   "}), 18},
        {"fill with three values", ExampleWith(18, {"255 @ (150;60;1)"}), 18},
        {"fill with one value", ExampleWith(18, {"255 @ (150)"}), 18},
        {"fill x only a bracket", ExampleWith(18, {"255 @ (;60)"}), 18},
        {"fill y only a bracket", ExampleWith(18, {"255 @ (150;)"}), 18},
        {"fill x not numeric", ExampleWith(18, {"255 @ (x;60)"}), 18},
        {"fill colour above 32 bits", ExampleWith(18, {"2147483648 @ (150;60)"}), 18},
        {"fill colour below 32 bits", ExampleWith(18, {"-2147483649 @ (150;60)"}), 18},
        {"fill colour rounds above 32 bits", ExampleWith(18, {"2147483647,5 @ (150;60)"}), 18},
        {"fill colour beyond a double", ExampleWith(18, {std::string(400, '9') + " @ (150;60)"}),
         18},
        {"fills end tag missing", ExampleWith(19, {}), 19},
        {"empty line after fills missing", ExampleWith(20, {}), 20},
        {"trailer line 1 changed",
         ExampleWith(21, {"Dit bestand is gegenereerd door Tavenor Quillet"}), 21},
        {"trailer line 2 changed",
         ExampleWith(
             22, {"Als u ook maar het kleinste detail veranderd of verwijderd van dit bestand."}),
         22},
        {"trailer line 3 changed",
         ExampleWith(23, {"zal het niet meer te openen zijn met Tavenor Quillet. "}), 23},
        {"trailer line 4 changed",
         ExampleWith(
             24,
             {"Alzo spreek ik, Ewout Bramlinck, oprichter en beheerder van Tavenor corporation."}),
         24},
        {"trailer line 4 missing", Join(firstTwentyThree), 24},
    };
}

TEST(ParseProjectTest, MalformedFilesFailAtTheRightLine) {
    for (const MalformedCase& c : MalformedCases()) {
        for (char sep : kSeparators) {
            EXPECT_EQ(ErrorLine(c.text, sep), c.line) << c.name << " under '" << sep << "'";
        }
    }
}

TEST(ParseProjectTest, ErrorsSayWhatWasExpected) {
    auto result = ParseProject(
        Join(std::vector<std::string>(kExampleLines.begin(), kExampleLines.begin() + 12)), ',');
    ASSERT_TRUE(std::holds_alternative<ProjectError>(result));
    EXPECT_EQ(std::get<ProjectError>(result),
              (ProjectError{13, "line 2 of 3: (X1;Y1)---(X2;Y2)", "the end of the file"}));

    result = ParseProject(ExampleWith(21, {"x"}), ',');
    ASSERT_TRUE(std::holds_alternative<ProjectError>(result));
    EXPECT_EQ(std::get<ProjectError>(result).Describe(),
              "Line 21: expected trailer line 1: Dit bestand is gegenereerd door Tavenor "
              "Quillet., found \"x\".");
}

TEST(ParseProjectTest, OverlongLinesFailAtTheirLine) {
    // A point line of exactly the limit is read; one byte more is not.
    const std::string atLimit = "1;" + std::string(MAX_PROJECT_LINE_BYTES - 2, '0');
    EXPECT_EQ(ErrorLine(ExampleWith(7, {atLimit}), ','), 0);
    EXPECT_EQ(ErrorLine(ExampleWith(7, {atLimit + "0"}), ','), 7);

    // Many megabytes without a line end fail at the first line.
    const std::string noLineEnds(8 << 20, '*');
    auto result = ParseProject(noLineEnds, ',');
    ASSERT_TRUE(std::holds_alternative<ProjectError>(result));
    EXPECT_EQ(std::get<ProjectError>(result).line, 1);
    EXPECT_NE(std::get<ProjectError>(result).expected.find("65536"), std::string::npos);

    // Past the trailer nothing is read; anywhere else such bytes fail at their line.
    EXPECT_EQ(ErrorLine(Join(kExampleLines) + noLineEnds, ','), 0);
    EXPECT_EQ(ErrorLine(Join({kExampleLines.begin(), kExampleLines.begin() + 5}) + noLineEnds, ','),
              6);
}

TEST(ParseProjectTest, ToleratedVariantsLoad) {
    const ProjectData plain = MustParse(Join(kExampleLines), ',');
    ASSERT_EQ(plain.fills.size(), 1u);
    for (const std::string& fill :
         {std::string("255 @ [150;60]"), std::string("255 @ {150;60>"),
          std::string("  255   @   ( 150 ; 60 )  "), std::string("255 @ (150 ;60)"),
          std::string("255 @ (150; 60)"), std::string("255 @ ( 150;60 )")}) {
        for (char sep : kSeparators) {
            EXPECT_EQ(MustParse(ExampleWith(18, {fill}), sep), plain) << fill;
        }
    }

    ProjectData word = MustParse(ExampleWith(18, {"rood @ (150;60)"}), ',');
    ASSERT_EQ(word.fills.size(), 1u);
    EXPECT_EQ(word.fills[0], (udtFill{0, 150, 60}));

    EXPECT_EQ(MustParse(Join(kExampleLines) + "trailing words\r\n\x01\xff no line end", ','),
              plain);
    const std::string text = Join(kExampleLines);
    EXPECT_EQ(MustParse(text.substr(0, text.size() - 2), ','), plain);
    EXPECT_EQ(MustParse(Join(kExampleLines, "\r"), ','), plain);
}

TEST(ParseProjectTest, FillCountsOfZeroOrLessLoadWithoutFills) {
    for (const char* head : {"<FloodFill num=0>", "<FloodFill num=-3>", "<FloodFill num=0,4>",
                             "<FloodFill num=-32768>"}) {
        std::vector<std::string> lines = kExampleLines;
        lines[16] = head;
        lines.erase(lines.begin() + 17);
        const ProjectData d = MustParse(Join(lines), ',');
        EXPECT_TRUE(d.fills.empty()) << head;
        EXPECT_EQ(d.points.size(), 3u) << head;
    }
    // The fill line is not skipped over when the count says there are none.
    EXPECT_EQ(ErrorLine(ExampleWith(17, {"<FloodFill num=0>"}), ','), 18);
}

TEST(ParseProjectTest, HalfCountsRoundToEven) {
    const std::vector<std::string> twoPoints = {"<Punten num=2,5>", "100;100", "200;100"};
    const std::vector<std::string> fourPoints = {"<Punten num=3.5>", "100;100", "200;100",
                                                 "150;13,3974596215561", "1;2"};
    std::vector<std::string> lines = kExampleLines;
    lines.erase(lines.begin() + 4, lines.begin() + 8);
    for (char sep : kSeparators) {
        std::vector<std::string> two = lines;
        two.insert(two.begin() + 4, twoPoints.begin(), twoPoints.end());
        EXPECT_EQ(MustParse(Join(two), sep).points.size(), 2u);
        std::vector<std::string> four = lines;
        four.insert(four.begin() + 4, fourPoints.begin(), fourPoints.end());
        EXPECT_EQ(MustParse(Join(four), sep).points.size(), 4u);
    }
    // A count of 3.5 with three point lines meets "</Punten>" where the fourth is due.
    EXPECT_EQ(ErrorLine(ExampleWith(5, {"<Punten num=3.5>"}), ','), 9);
    EXPECT_EQ(ErrorLine(ExampleWith(5, {"<Punten num=2,5>"}), ','), 8);
}

TEST(ParseProjectTest, NumbersReadByValueWhereTheDigitRuleWouldMisreadThem) {
    const ProjectData d = MustParse(ExampleWith(6, {"1,4210854715202E-14;+100"}), ',');
    ASSERT_EQ(d.points.size(), 3u);
    EXPECT_EQ(d.points[0].X, 1.4210854715202e-14);
    EXPECT_EQ(d.points[0].Y, 100.0);
    const ProjectData c = MustParse(ExampleWith(18, {"2,55E2 @ (1.5e2;6E1)"}), ',');
    EXPECT_EQ(c.fills[0], (udtFill{255, 150, 60}));
    // A coordinate too large for a double reads as 0 rather than failing the file.
    const ProjectData big = MustParse(ExampleWith(6, {"1E400;100"}), '.');
    EXPECT_EQ(big.points[0].X, 0.0);
}

} // namespace
} // namespace quillet

namespace quillet {
namespace {

using testing::TempDir;

// A file of `count` point lines of `width` characters before line `count + 1`, whose length
// puts its line end at `crAt` bytes from the start of the file.
std::string FileWithLineEndAt(std::size_t crAt, int count, std::size_t width) {
    std::vector<std::string> lines(kExampleLines.begin(), kExampleLines.begin() + 4);
    lines.push_back("<Punten num=" + std::to_string(count + 1) + ">");
    const std::string point = "1;" + std::string(width - 3, '0') + "7";
    std::size_t used = Join(lines).size();
    for (int i = 0; i < count; ++i) {
        lines.push_back(point);
        used += width + 2;
    }
    lines.push_back("2;" + std::string(crAt - used - 2, '5'));
    lines.insert(lines.end(), kExampleLines.begin() + 8, kExampleLines.end());
    return Join(lines);
}

// Reading from a file must give exactly what reading from memory gives, wherever a line end
// falls against the reader's chunks, for whole, cut and damaged files and lone-CR line ends.
TEST(ParseProjectFileTest, SameAsFromMemory) {
    TempDir dir;
    std::vector<std::string> texts;
    for (auto [chunkEnd, count] : {std::pair{65536, 300}, {131072, 620}}) {
        for (std::size_t back = 0; back <= 2; ++back) {
            texts.push_back(FileWithLineEndAt(chunkEnd - 1 - back, count, 200));
        }
    }
    // A line near the longest allowed length across a chunk end, and one too long.
    texts.push_back(FileWithLineEndAt(131071, 330, 200));
    texts.push_back(FileWithLineEndAt(131071, 320, 200));
    std::mt19937_64 rng(3);
    const std::string base = texts[0];
    for (int i = 0; i < 40; ++i) {
        std::uniform_int_distribution<std::size_t> at(0, base.size() - 1);
        texts.push_back(base.substr(0, at(rng)));
        std::string damaged = base;
        damaged[at(rng)] = "\r\n;x"[i % 4];
        texts.push_back(damaged);
    }
    std::string loneCr = base;
    for (std::size_t p; (p = loneCr.find("\r\n")) != std::string::npos;) {
        loneCr.erase(p + 1, 1);
    }
    texts.push_back(loneCr);

    int valid = 0;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string path = dir.Write("t.qlf", texts[i]);
        for (char sep : kSeparators) {
            const auto fromMemory = ParseProject(texts[i], sep);
            ASSERT_EQ(ParseProjectFile(path, sep), fromMemory) << i << " under " << sep;
            valid += std::holds_alternative<ProjectData>(fromMemory) ? 1 : 0;
        }
    }
    EXPECT_GE(valid, 2 * 8); // whole files, not only failures, were compared
}

// The reader stops at the first fault and after the trailer, however much more there is.
TEST(ParseProjectFileTest, ReadsNoFurtherThanItMust) {
    const auto endless = ParseProjectFile("/dev/zero", ',');
    ASSERT_TRUE(std::holds_alternative<ProjectError>(endless));
    EXPECT_EQ(std::get<ProjectError>(endless).line, 1);

    // A valid file followed by a stream that never ends: the writer learns how much was read.
    TempDir dir;
    const std::string fifo = dir.File("pipe.qlf");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::signal(SIGPIPE, SIG_IGN);
    long long accepted = 0;
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        std::string bytes = Join(kExampleLines);
        const std::string more(1 << 16, 'x');
        for (int i = 0; i < 1024; ++i) { // 64 MiB, if the reader never stopped
            const ssize_t n = ::write(fd, bytes.data(), bytes.size());
            if (n <= 0) {
                break;
            }
            accepted += n;
            bytes = more;
        }
        ::close(fd);
    });
    const auto result = ParseProjectFile(fifo, ',');
    writer.join();
    EXPECT_TRUE(std::holds_alternative<ProjectData>(result));
    EXPECT_LT(accepted, 1 << 20);

    const auto missing = ParseProjectFile(dir.File("none.qlf"), ',');
    ASSERT_TRUE(std::holds_alternative<ProjectError>(missing));
    EXPECT_EQ(std::get<ProjectError>(missing).line, 0);
    EXPECT_EQ(std::get<ProjectError>(missing).Describe(),
              "The file cannot be read: No such file or directory.");
}

} // namespace
} // namespace quillet
