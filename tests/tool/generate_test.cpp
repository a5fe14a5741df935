// quillet-tool generate: every tiling of the standard lists built by clicks and judged by the
// analysis as any drawing is, and the command line around it.
#include "../core/scripted_platform.h"
#include "../core/temp_dir.h"
#include "analysis/analysis.h"
#include "app/tiling_generator.h"
#include "app/tilings.h"
#include "project/project_file.h"
#include "project/project_format.h"
#include "tool/tool.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <QApplication>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <sys/wait.h>

namespace quillet {
namespace {

using testing::TempDir;

// Grünbaum and Shephard, Tilings and Patterns, 2.1 (the 11 Archimedean tilings) and 2.2 (the
// 20 two-uniform ones), by their names there; each vertex type written out, from the corner
// count where its smallest reading starts.
struct Listed {
    std::string name;
    std::set<std::string> types;
    const char* file; // where the cell comes from, for the two-uniform ones
};

void PrintTo(const Listed& listed, std::ostream* out) {
    *out << listed.name;
}

const std::vector<Listed>& Literature() {
    static const std::vector<Listed> list{
        {"3^6", {"3.3.3.3.3.3"}, nullptr},
        {"3^4.6", {"3.3.3.3.6"}, nullptr},
        {"3^3.4^2", {"3.3.3.4.4"}, nullptr},
        {"3^2.4.3.4", {"3.3.4.3.4"}, nullptr},
        {"3.4.6.4", {"3.4.6.4"}, nullptr},
        {"3.6.3.6", {"3.6.3.6"}, nullptr},
        {"3.12^2", {"3.12.12"}, nullptr},
        {"4^4", {"4.4.4.4"}, nullptr},
        {"4.6.12", {"4.6.12"}, nullptr},
        {"4.8^2", {"4.8.8"}, nullptr},
        {"6^3", {"6.6.6"}, nullptr},
        {"[3^6; 3^4.6]1", {"3.3.3.3.3.3", "3.3.3.3.6"}, "two_uniform_a.inc"},
        {"[3^6; 3^4.6]2", {"3.3.3.3.3.3", "3.3.3.3.6"}, "two_uniform_a.inc"},
        {"[3^6; 3^3.4^2]1", {"3.3.3.3.3.3", "3.3.3.4.4"}, "two_uniform_a.inc"},
        {"[3^6; 3^3.4^2]2", {"3.3.3.3.3.3", "3.3.3.4.4"}, "two_uniform_a.inc"},
        {"[3^6; 3^2.4.3.4]", {"3.3.3.3.3.3", "3.3.4.3.4"}, "two_uniform_a.inc"},
        {"[3^6; 3^2.4.12]", {"3.3.3.3.3.3", "3.3.4.12"}, "two_uniform_a.inc"},
        {"[3^6; 3^2.6^2]", {"3.3.3.3.3.3", "3.3.6.6"}, "two_uniform_a.inc"},
        {"[3^4.6; 3^2.6^2]", {"3.3.3.3.6", "3.3.6.6"}, "two_uniform_a.inc"},
        {"[3^3.4^2; 3^2.4.3.4]1", {"3.3.3.4.4", "3.3.4.3.4"}, "two_uniform_a.inc"},
        {"[3^3.4^2; 3^2.4.3.4]2", {"3.3.3.4.4", "3.3.4.3.4"}, "two_uniform_a.inc"},
        {"[3^3.4^2; 3.4.6.4]", {"3.3.3.4.4", "3.4.6.4"}, "two_uniform_b.inc"},
        {"[3^3.4^2; 4^4]1", {"3.3.3.4.4", "4.4.4.4"}, "two_uniform_b.inc"},
        {"[3^3.4^2; 4^4]2", {"3.3.3.4.4", "4.4.4.4"}, "two_uniform_b.inc"},
        {"[3^2.4.3.4; 3.4.6.4]", {"3.3.4.3.4", "3.4.6.4"}, "two_uniform_b.inc"},
        {"[3^2.6^2; 3.6.3.6]", {"3.3.6.6", "3.6.3.6"}, "two_uniform_b.inc"},
        {"[3.4.3.12; 3.12^2]", {"3.4.3.12", "3.12.12"}, "two_uniform_b.inc"},
        {"[3.4^2.6; 3.4.6.4]", {"3.4.4.6", "3.4.6.4"}, "two_uniform_b.inc"},
        {"[3.4^2.6; 3.6.3.6]1", {"3.4.4.6", "3.6.3.6"}, "two_uniform_b.inc"},
        {"[3.4^2.6; 3.6.3.6]2", {"3.4.4.6", "3.6.3.6"}, "two_uniform_b.inc"},
        {"[3.4.6.4; 4.6.12]", {"3.4.6.4", "4.6.12"}, "two_uniform_b.inc"},
    };
    return list;
}

// The colours the manual gives the faces, by corner count.
const std::map<int, Colour> FACE_COLOURS{{3, RGB(255, 255, 0)},
                                         {4, RGB(255, 0, 0)},
                                         {6, RGB(0, 0, 255)},
                                         {8, RGB(0, 255, 255)},
                                         {12, RGB(255, 0, 255)}};

using testing::Tool;
using testing::ToolRun;

using QtApp = testing::ToolFixture;

class GenerateEveryTiling : public QtApp, public ::testing::WithParamInterface<Listed> {};

int Surrounded(const analysis::Analysis& a) {
    return static_cast<int>(std::count_if(a.corners.begin(), a.corners.end(),
                                          [](const analysis::Corner& c) { return c.surrounded; }));
}

// Built, the patch has only the tiling's vertex types, both where there are two, at least 40
// corners with polygons all round, nothing crossed, overlapping or off the canvas; a side
// one pixel longer leaves fewer than 40 such corners; coloured, it reopens with one fill in
// each face, in the face's colour, and no fill leaves its face.
TEST_P(GenerateEveryTiling, BuildsACleanPatchOfItsVertexTypes) {
    const Listed& listed = GetParam();
    const TilingCell* cell = FindTiling(listed.name);
    if (cell == nullptr && listed.file != nullptr) {
        GTEST_SKIP() << listed.name << ": its cell has not arrived in src/app/" << listed.file;
    }
    ASSERT_NE(cell, nullptr) << listed.name;
    EXPECT_EQ(cell->name, listed.name);

    TilingOptions options;
    options.colour = true;
    const auto made = GenerateTiling(*cell, options);
    ASSERT_TRUE(std::holds_alternative<TilingDrawing>(made))
        << std::get<TilingFailure>(made).reason;
    const TilingDrawing& drawing = std::get<TilingDrawing>(made);

    // As the file holds it: its 15 digits make sides that differ in their last bits one.
    const auto reread = ParseProject(WriteProject(drawing.data, '.'), '.');
    ASSERT_TRUE(std::holds_alternative<ProjectData>(reread));
    const analysis::Analysis a = analysis::Analyse(std::get<ProjectData>(reread));
    ASSERT_TRUE(a.refused.empty()) << a.refused;
    EXPECT_EQ(a.pointsOutside, 0);
    EXPECT_EQ(a.linesPartlyOutside + a.linesOutside, 0);
    EXPECT_EQ(a.crossingsTotal, 0);
    EXPECT_TRUE(a.overfullCorners.empty());
    EXPECT_EQ(static_cast<int>(a.faces.size()), drawing.polygons);
    EXPECT_TRUE(std::all_of(a.faces.begin(), a.faces.end(),
                            [](const analysis::Face& f) { return f.regular && f.holes == 0; }));
    std::set<std::string> seen;
    for (const analysis::Corner& c : a.corners) {
        if (c.surrounded) {
            EXPECT_TRUE(listed.types.count(c.configuration))
                << c.configuration << " at " << c.at.X << "," << c.at.Y;
            seen.insert(c.configuration);
        }
    }
    EXPECT_EQ(seen, listed.types);
    EXPECT_GE(Surrounded(a), 40);
    EXPECT_EQ(Surrounded(a), drawing.surrounded);

    TilingOptions longer;
    longer.side = drawing.side + 1;
    const auto bigger = GenerateTiling(*cell, longer);
    if (const auto* more = std::get_if<TilingDrawing>(&bigger)) {
        EXPECT_LT(Surrounded(analysis::Analyse(more->data)), 40) << "side " << *longer.side;
    }

    // Through the command, to a file the window's reader opens.
    const std::string file = dir.File("tiling.qlf");
    const ToolRun run = Tool(tool::RunGenerate, {listed.name, file, "--colour"});
    ASSERT_EQ(run.status, tool::EXIT_OK) << run.err;
    const auto written = ParseProjectFile(file, '.');
    ASSERT_TRUE(std::holds_alternative<ProjectData>(written));
    EXPECT_EQ(std::get<ProjectData>(written), std::get<ProjectData>(reread));
    std::string error;
    const auto loaded = tool::LoadDrawing(file, error);
    ASSERT_NE(loaded, nullptr) << error;
    ASSERT_EQ(loaded->state.intFillCount, drawing.polygons);
    std::set<int> filled;
    for (int i = 1; i <= loaded->state.intFillCount; ++i) {
        const udtFill& fill = loaded->state.arrFills[i];
        const int face = analysis::FaceAt(a, {fill.X, fill.Y});
        ASSERT_GE(face, 0) << "fill " << i;
        EXPECT_TRUE(filled.insert(face).second) << "fill " << i << " in a filled face";
        const int n = static_cast<int>(a.faces[static_cast<std::size_t>(face)].corners.size());
        EXPECT_EQ(static_cast<Colour>(fill.Color), FACE_COLOURS.at(n)) << "fill " << i;
    }
    // The export holds each fill against the faces on the reopened canvas.
    const ToolRun svg = Tool(tool::RunExport, {file, "-"});
    ASSERT_EQ(svg.status, tool::EXIT_OK);
    EXPECT_EQ(svg.err.find("warning"), std::string::npos) << svg.err;
    EXPECT_EQ(svg.out.find("<image"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Literature, GenerateEveryTiling, ::testing::ValuesIn(Literature()),
                         [](const ::testing::TestParamInfo<Listed>& info) {
                             std::string id;
                             for (char c : info.param.name) {
                                 id += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return id;
                         });

class GenerateCommand : public QtApp {};

// Every way of writing a name gives the drawing its standard name gives.
TEST_F(GenerateCommand, AcceptsEveryFormOfAName) {
    const std::vector<std::pair<std::string, std::vector<std::string>>> aliases{
        {"3.4.6.4", {"4.6.4.3", "3.4.6.4", "4.3.4.6", " 3 . 4 . 6 . 4 "}},
        {"3^2.4.3.4", {"3.3.4.3.4", "4.3.4.3.3", "3.4.3.3^1.4", "3.4.3.4.3"}},
        {"4.8^2", {"4.8.8", "8.4.8", "8^2.4"}},
        {"3^6", {"3.3.3.3.3.3", "3^3.3^3"}},
        {"6^3", {"6.6.6"}},
        {"4^4", {"4.4.4.4", "4^2.4^2"}},
        {"3^3.4^2", {"3.3.3.4.4", "4.4.3.3.3", "3.4^2.3^2"}},
        {"3^4.6", {"6.3.3.3.3", "3.3.3.3.6"}},
        {"3.12^2", {"12.3.12", "3.12.12"}},
        {"4.6.12", {"12.6.4", "6.4.12"}},
        {"3.6.3.6", {"6.3.6.3"}},
        {"[3^6; 3^2.4.3.4]",
         {"[3^2.4.3.4; 3^6]", "[3.4.3.4.3;3.3.3.3.3.3]", " [ 3^6 ; 4.3.4.3^2 ] "}},
        {"[3^3.4^2; 4^4]1", {"[4^4; 3^3.4^2]1", "[4.4.4.4;4.4.3.3.3]1"}},
        {"[3^3.4^2; 4^4]2", {"[4^4;3.3.3.4.4]2"}},
        {"[3.4.6.4; 4.6.12]", {"[12.6.4; 4.6.4.3]"}},
    };
    for (const auto& [standard, forms] : aliases) {
        if (FindTiling(standard) == nullptr && standard.front() == '[') {
            continue; // its cell has not arrived
        }
        const std::string expected = dir.File("standard.qlf");
        ASSERT_EQ(Tool(tool::RunGenerate, {standard, expected}).status, tool::EXIT_OK) << standard;
        for (const std::string& form : forms) {
            const std::string file = dir.File("alias.qlf");
            const ToolRun run = Tool(tool::RunGenerate, {form, file});
            ASSERT_EQ(run.status, tool::EXIT_OK) << form << ": " << run.err;
            EXPECT_EQ(TempDir::Read(file), TempDir::Read(expected)) << form;
            EXPECT_NE(run.out.find(standard + ": "), std::string::npos) << run.out;
        }
    }
}

// Names that are no tiling, bad sides and centres, and wrong arguments: status 2, a reason,
// the names it knows where the name was wrong, and the file that was there kept.
TEST_F(GenerateCommand, RefusesBadArgumentsWithStatus2) {
    const std::string kept = dir.Write("kept.qlf", "old bytes");
    struct Case {
        std::vector<std::string> args;
        std::string says;
    };
    const std::vector<Case> cases{
        {{"3.4.5", kept}, "Known tilings:"},
        {{"3^7", kept}, "Known tilings:"},
        {{"hexagons", kept}, "Known tilings:"},
        {{"", kept}, "Known tilings:"},
        {{"3.4.6.4.4", kept}, "Known tilings:"},
        {{"[3^6; 4^4]", kept}, "Known tilings:"},
        {{"[3.4.6.4", kept}, "Known tilings:"},
        {{"[3.4.6.4; 4.6.12]3", kept}, "Known tilings:"},
        {{"[3^6; 3^2.4.3.4]1", kept}, "only one tiling has these types, '[3^6; 3^2.4.3.4]'"},
        {{"3^99999", kept}, "Known tilings:"},
        {{"3..4.6.4", kept}, "Known tilings:"},
        {{"4.8^2", kept, "--side", "0"}, "side"},
        {{"4.8^2", kept, "--side", "-5"}, "side"},
        {{"4.8^2", kept, "--side", "abc"}, "side"},
        {{"4.8^2", kept, "--side", "nan"}, "side"},
        {{"4.8^2", kept, "--side", "inf"}, "side"},
        {{"4.8^2", kept, "--side", "1e9"}, "side"},
        {{"4.8^2", kept, "--side", "30px"}, "side"},
        {{"4.8^2", kept, "--side", ""}, "side"},
        {{"4.8^2", kept, "--side", "0.5"}, "side"},
        {{"3.12^2", kept, "--side", "400"}, "fits"},
        {{"4.8^2", kept, "--side"}, "needs a value"},
        {{"4.8^2", kept, "--centre", "100"}, "centre"},
        {{"4.8^2", kept, "--centre", "100,"}, "centre"},
        {{"4.8^2", kept, "--centre", ",100"}, "centre"},
        {{"4.8^2", kept, "--centre", "a,b"}, "centre"},
        {{"4.8^2", kept, "--centre", "100;200"}, "centre"},
        {{"4.8^2", kept, "--centre", "-1,100"}, "centre"},
        {{"4.8^2", kept, "--centre", "100,494"}, "centre"},
        {{"4.8^2", kept, "--centre", "582,100"}, "centre"},
        {{"4.8^2", kept, "--centre", "nan,100"}, "centre"},
        {{"4.8^2", kept, "--centre", "100,200,300"}, "centre"},
        {{"4.8^2", kept, "--bogus"}, "unknown option"},
        {{"4.8^2"}, "output"},
        {{"4.8^2", kept, kept}, "output"},
        {{"4.8^2", dir.File("out.png")}, ".qlf"},
    };
    for (const Case& c : cases) {
        const ToolRun run = Tool(tool::RunGenerate, c.args);
        std::string shown;
        for (const std::string& a : c.args) {
            shown += "'" + a + "' ";
        }
        EXPECT_EQ(run.status, tool::EXIT_USAGE) << shown << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << shown << run.err;
        if (c.says == "Known tilings:") {
            for (const char* name : {"3.4.6.4", "3^2.4.3.4", "4.8^2", "6^3", "3.12^2"}) {
                EXPECT_NE(run.err.find(std::string(" ") + name), std::string::npos) << name;
            }
        }
        EXPECT_EQ(TempDir::Read(kept), "old bytes") << shown;
    }
    if (FindTiling("[3^3.4^2; 4^4]1") != nullptr) {
        const ToolRun run = Tool(tool::RunGenerate, {"[3^3.4^2; 4^4]", kept});
        EXPECT_EQ(run.status, tool::EXIT_USAGE);
        EXPECT_NE(run.err.find("add 1 or 2"), std::string::npos) << run.err;
    }
    EXPECT_FALSE(std::filesystem::exists(dir.File("out.png")));
    const ToolRun help = Tool(tool::RunGenerate, {"--help"});
    EXPECT_EQ(help.status, tool::EXIT_OK);
    EXPECT_EQ(help.out.rfind("Usage: quillet-tool generate ", 0), 0u);
}

// A side the drawing cannot hold is refused whole: status 1, and the file that was there kept.
TEST_F(GenerateCommand, WritesNothingWhenTheDrawingCannotHoldThePatch) {
    const std::string kept = dir.Write("kept.qlf", "old bytes");
    // The last fills the drawing only as it is built: the construction stores some corners
    // twice, in their last bits apart, and refuses a polygon on the way.
    for (const auto& [name, side] :
         {std::pair{"3^6", "1"}, {"4^4", "1"}, {"3.12^2", "1"}, {"4^4", "3"}, {"3^4.6", "5"}}) {
        const ToolRun run = Tool(tool::RunGenerate, {name, kept, "--side", side});
        EXPECT_EQ(run.status, tool::EXIT_FAILED) << name;
        EXPECT_NE(run.err.find("nothing written"), std::string::npos) << run.err;
        EXPECT_EQ(TempDir::Read(kept), "old bytes");
    }
}

// A side and centre asked for are the ones drawn: the polygon nearest the centre is there, and
// every side is that long.
TEST_F(GenerateCommand, DrawsAtTheSideAndCentreAskedFor) {
    for (const auto& [side, x, y] : {std::tuple{23.0, 100.0, 120.0}, {37.5, 450.0, 400.0}}) {
        TilingOptions options;
        options.side = side;
        options.centre = udtPoint{x, y};
        const auto made = GenerateTiling(*FindTiling("4^4"), options);
        ASSERT_TRUE(std::holds_alternative<TilingDrawing>(made));
        const ProjectData& data = std::get<TilingDrawing>(made).data;
        for (const udtLine& l : data.lines) {
            EXPECT_NEAR(std::hypot(l.X2 - l.X1, l.Y2 - l.Y1), side, 1e-3);
        }
        // The lattice's origin is a corner of 4^4's squares: a stored corner is there.
        EXPECT_TRUE(
            std::any_of(data.points.begin(), data.points.end(),
                        [&](const udtPoint& p) { return std::hypot(p.X - x, p.Y - y) < 1e-3; }))
            << x << "," << y;
    }
}

// A centre in a corner of the canvas still gives a patch, not the lone polygon cut off there.
TEST_F(GenerateCommand, ACentreInACornerStillGivesAPatch) {
    for (const TilingCell& cell : Tilings()) {
        for (const udtPoint corner : {udtPoint{0, 0}, udtPoint{581, 493}}) {
            TilingOptions options;
            options.centre = corner;
            const auto made = GenerateTiling(cell, options);
            ASSERT_TRUE(std::holds_alternative<TilingDrawing>(made))
                << cell.name << " at " << corner.X << "," << corner.Y << ": "
                << std::get<TilingFailure>(made).reason;
            EXPECT_GE(std::get<TilingDrawing>(made).surrounded, TILING_MIN_SURROUNDED) << cell.name;
        }
    }
}

// The program itself runs the command, with its statuses.
TEST_F(GenerateCommand, TheProgramHasTheCommand) {
    const std::string file = dir.File("made.qlf");
    const std::string tool = std::string("'") + QUILLET_TOOL_EXE + "' generate ";
    const int made = std::system((tool + "'[4.6.4.3; 12.6.4]' '" + file + "' >/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(made));
    EXPECT_EQ(WEXITSTATUS(made), 0);
    EXPECT_EQ(Tool(tool::RunCheck, {file}).status, tool::EXIT_OK);
    const int unknown =
        std::system((tool + "3.4.5 '" + dir.File("x.qlf") + "' 2>/dev/null").c_str());
    ASSERT_TRUE(WIFEXITED(unknown));
    EXPECT_EQ(WEXITSTATUS(unknown), 2);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.qlf")));
}

// The window opens a generated file and builds on it: a square on its topmost side, outside.
TEST_F(GenerateCommand, TheWindowOpensTheDrawingAndDrawsOn) {
    const std::string file = dir.File("squares.qlf");
    ASSERT_EQ(Tool(tool::RunGenerate, {"4^4", file}).status, tool::EXIT_OK);
    testing::Form f;
    f.platform.openAnswers.push_back(FileDialogAnswer{file, 1});
    f.form.mnuOpen_Click();
    ASSERT_EQ(f.form.strFileName, file);
    ASSERT_TRUE(f.platform.messages.empty()) << f.platform.messages[0].text;
    const int lines = f.form.intLineCount;
    udtLine top = f.form.arrLines[1];
    for (int i = 2; i <= lines; ++i) {
        const udtLine& l = f.form.arrLines[i];
        if (l.Y1 + l.Y2 < top.Y1 + top.Y2) {
            top = l;
        }
    }
    f.Polygon(top.X1, top.Y1, top.X2, top.Y2, (top.X1 + top.X2) / 2, top.Y1 - 5, 4);
    EXPECT_EQ(f.form.intLineCount, lines + 3);
    EXPECT_TRUE(f.platform.messages.empty());
    const analysis::Analysis a = analysis::Analyse(CollectProject(f.form));
    EXPECT_EQ(a.crossingsTotal, 0);
}

} // namespace
} // namespace quillet
