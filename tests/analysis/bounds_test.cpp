// Drawings made to hurt the analysis: coordinates the exact arithmetic cannot take, more
// meetings of lines than the budget allows, lists that grow as the square of the lines, and
// outlines that only look like polygons drawn over others.

#include "analysis/analysis.h"

#include "sketch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>
#include <variant>
#include <vector>

namespace quillet::analysis {
namespace {

using testing::Around;
using testing::Sketch;

constexpr udtPoint CENTRE{300, 250};
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

ProjectData Load(const std::string& name) {
    const auto parsed = ParseProjectFile(std::string(QUILLET_TEST_DATA) + "/" + name, '.');
    const auto* data = std::get_if<ProjectData>(&parsed);
    EXPECT_NE(data, nullptr) << name;
    return data ? *data : ProjectData{};
}

// A plus sign on the canvas: two lines crossing once.
void AddPlus(ProjectData& data) {
    data.lines.push_back({100, 200, 300, 200});
    data.lines.push_back({200, 100, 200, 300});
}

TEST(Bounds, LinesBeyondTheExactArithmeticAreLeftOutAndNamed) {
    struct Case {
        const char* name;
        std::vector<udtLine> lines; // before the plus sign
        std::vector<int> leftOut;
        long long crossings; // the plus sign's, and any between the lines kept
    };
    const double M = MAX_COORDINATE;
    const std::vector<Case> cases{
        {"crossing at 1e103", {{0, 0, 1e103, 1e103}, {0, 1e103, 1e103, 0}}, {1, 2}, 1},
        {"crossing at -1e101", {{0, 0, -1e101, -1e101}, {0, -1e101, -1e101, 0}}, {1, 2}, 1},
        {"ends not numbers", {{NaN, 0, 10, 10}, {0, 0, 10, INF}, {-INF, 5, 5, 5}}, {1, 2, 3}, 1},
        {"crossing at the limit", {{-M, -M, M, -M / 2}, {-M, -M / 2, M, -M}}, {}, 2},
        {"one end beyond, crossing the plus", {{150, 150, 150, 2e100}}, {1}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProjectData data;
        data.lines = c.lines;
        AddPlus(data);
        const Analysis a = Analyse(data);
        EXPECT_EQ(a.refused, "");
        EXPECT_EQ(a.linesLeftOut, c.leftOut);
        EXPECT_EQ(a.linesLeftOutTotal, static_cast<long long>(c.leftOut.size()));
        EXPECT_EQ(a.crossingsTotal, c.crossings);
        EXPECT_EQ(a.faces.size(), 0u);
    }

    // The same as the window reads it: the file that crashed the sweep.
    const Analysis a = Analyse(Load("lines-crossing-at-1e103.qlf"));
    EXPECT_EQ(a.linesLeftOut, (std::vector<int>{1, 2}));
    EXPECT_EQ(a.crossingsTotal, 0);
}

// n horizontal and n vertical lines, each crossing all the others: n * n crossings.
ProjectData Grid(int n) {
    ProjectData data;
    for (int i = 0; i < n; ++i) {
        const double at = 10 + 0.5 * i;
        data.lines.push_back({5, at, 600, at});
        data.lines.push_back({at, 5, at, 600});
    }
    return data;
}

// n lines through nearly one point, their angles apart by 1e-6 radians of a half turn: every
// pair crosses at a point of its own.
ProjectData NearlyConcurrent(int n) {
    ProjectData data;
    for (int i = 0; i < n; ++i) {
        const double angle = i * (3.14159265358979 / n) + 1e-6 * i;
        const udtPoint a = Around(CENTRE, 200, angle * 180 / 3.14159265358979);
        data.lines.push_back({a.X, a.Y, 2 * CENTRE.X - a.X, 2 * CENTRE.Y - a.Y});
    }
    return data;
}

// n sides on one line, each overlapping all the others.
ProjectData Collinear(int n) {
    ProjectData data;
    for (int i = 0; i < n; ++i) {
        data.lines.push_back({10.0 + 0.25 * i, 100, 400.0 + 0.25 * i, 100});
    }
    return data;
}

TEST(Bounds, DrawingsOverTheBudgetAreRefusedNamingIt) {
    const Budget budget;
    struct Case {
        const char* name;
        ProjectData data;
        bool refused;
        long long crossings; // when answered
    };
    // The budget counts pairs of lines that may meet: just over it and well under it.
    const std::vector<Case> cases{
        {"a grid of 317 by 317 lines", Grid(317), true, 0},
        {"a grid of 30 by 30 lines", Grid(30), false, 900},
        {"448 lines through nearly one point", NearlyConcurrent(448), true, 0},
        {"40 lines through nearly one point", NearlyConcurrent(40), false, 780},
        {"708 overlapping sides on one line", Collinear(708), true, 0},
        {"30 overlapping sides on one line", Collinear(30), false, 435},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Analysis a = Analyse(c.data);
        if (c.refused) {
            EXPECT_NE(a.refused.find(std::to_string(budget.meetings)), std::string::npos)
                << a.refused;
            EXPECT_TRUE(a.faces.empty() && a.corners.empty() && a.crossings.empty());
            EXPECT_EQ(a.crossingsTotal, 0);
            EXPECT_EQ(FaceAt(a, CENTRE), -1);
        } else {
            EXPECT_EQ(a.refused, "");
            EXPECT_EQ(a.crossingsTotal, c.crossings);
        }
        EXPECT_EQ(a.lines, static_cast<int>(c.data.lines.size()));
    }

    // Past the time budget: refused, naming it, whatever the size.
    const Analysis late = Analyse(Grid(40), DRIFT_TOLERANCE, Budget{budget.meetings, 0});
    EXPECT_NE(late.refused.find("time budget of 0 s"), std::string::npos) << late.refused;
}

TEST(Bounds, LongListsKeepTheirFirstEntriesAndCountThemAll) {
    struct Case {
        const char* name;
        ProjectData data;
        long long nearPoints, nearLines, crossings, leftOut;
    };
    ProjectData points; // 47 points within the tolerance of each other: 1081 pairs
    for (int i = 0; i < 47; ++i) {
        points.points.push_back({100 + 1e-8 * i, 100});
    }
    ProjectData lines; // 47 lines whose ends drift: 1081 pairs of near lines, no crossings
    for (int i = 0; i < 47; ++i) {
        lines.lines.push_back({100 + 1e-8 * i, 100, 200, 100 + 1e-8 * i});
    }
    ProjectData far; // 1001 lines beyond the limit
    for (int i = 0; i < 1001; ++i) {
        far.lines.push_back({1e101, 1.0 * i, 1e101, i + 0.5});
    }
    ProjectData copies; // one crossing between 40 copies of a line and 30 of another
    for (int i = 0; i < 70; ++i) {
        copies.lines.push_back(i < 40 ? udtLine{0, 0, 10, 10} : udtLine{0, 10, 10, 0});
    }
    const std::vector<Case> cases{
        {"near points", points, 1081, 0, 0, 0},
        {"near lines", lines, 0, 1081, 0, 0},
        {"lines left out", far, 0, 0, 0, 1001},
        {"overlapping sides", Collinear(50), 0, 0, 1225, 0},
        {"copies crossing copies", copies, 0, 0, 1200, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Analysis a = Analyse(c.data);
        EXPECT_EQ(a.nearPointsTotal, c.nearPoints);
        EXPECT_EQ(a.nearLinesTotal, c.nearLines);
        EXPECT_EQ(a.crossingsTotal, c.crossings);
        EXPECT_EQ(a.linesLeftOutTotal, c.leftOut);
        auto listed = [](long long total) {
            return static_cast<std::size_t>(std::min<long long>(total, LISTED));
        };
        ASSERT_EQ(a.nearPoints.size(), listed(c.nearPoints));
        ASSERT_EQ(a.nearLines.size(), listed(c.nearLines));
        ASSERT_EQ(a.crossings.size(), listed(c.crossings));
        ASSERT_EQ(a.linesLeftOut.size(), listed(c.leftOut));
        // The first entries: every pair in order, from the first line or point on.
        auto firstPairs = [](const auto& list, int firstB) {
            if (list.empty()) {
                return;
            }
            EXPECT_EQ(list.front().a, 1);
            EXPECT_EQ(list.front().b, firstB);
            for (std::size_t i = 1; i < list.size(); ++i) {
                EXPECT_LT(std::pair(list[i - 1].a, list[i - 1].b), std::pair(list[i].a, list[i].b));
            }
        };
        firstPairs(a.nearPoints, 2);
        firstPairs(a.nearLines, 2);
        firstPairs(a.crossings, c.name == std::string("copies crossing copies") ? 41 : 2);
        if (!a.linesLeftOut.empty()) {
            EXPECT_EQ(a.linesLeftOut.front(), 1);
            EXPECT_EQ(a.linesLeftOut.back(), static_cast<int>(LISTED));
        }
    }
}

TEST(Bounds, FacesOfAHugeDrawingAreFoundByPlace) {
    // Faces a trillion pixels tall and a few wide: their index has cells far beyond an int.
    ProjectData data;
    data.lines = {{100, 200, 200, 1214748364700}, {200, 1214748364700, 200, 100},
                  {200, 100, 100, 200},           {300, 100, 300, 1e12},
                  {300, 1e12, 310, 100},          {310, 100, 300, 100}};
    const Analysis a = Analyse(data);
    ASSERT_EQ(a.faces.size(), 2u);
    const int thin = FaceAt(a, {301, 1e9});
    const int wide = FaceAt(a, {190, 1e9});
    EXPECT_GE(thin, 0);
    EXPECT_GE(wide, 0);
    EXPECT_NE(thin, wide);
    EXPECT_EQ(FaceAt(a, {250, 1e9}), -1);
    EXPECT_EQ(FaceAt(a, {250, 1e13}), -1);

    // A face as thin as rounding leaves it: no width, so its index falls back to one cell of
    // size 1 over a trillion pixels of height.
    const Analysis file = Analyse(Load("faces-a-trillion-pixels-tall.qlf"));
    ASSERT_EQ(file.faces.size(), 1u);
    EXPECT_EQ(file.faces[0].area, 0);
    for (const double y : {150.0, 1e9, 1214748364699.0}) {
        EXPECT_EQ(FaceAt(file, {200, y}), -1);
        EXPECT_EQ(FaceAt(file, {199, y}), -1);
    }
}

TEST(Bounds, OverfullCornersAreWherePolygonsReallyDrawnOverlap) {
    struct Case {
        const char* name;
        ProjectData data;
        std::size_t overfull;
        double largestSum; // of polygon_angle_sum over all corners
    };
    const ProjectData hexagon =
        Sketch(CENTRE, Around(CENTRE, 40, 0)).Fan(CENTRE, 40, 0, {3, 3, 3, 3, 3, 3}).Data();
    ProjectData square = Sketch(CENTRE, Around(CENTRE, 40, 0))
                             .Fan(CENTRE, 40, 0, {3, 3, 3, 3, 3, 3})
                             .Polygon(CENTRE, Around(CENTRE, 40, 0), 4, Around(CENTRE, 40, -60))
                             .Data();
    ProjectData twice = hexagon; // the first triangle's three sides stored again
    for (int i = 0; i < 3; ++i) {
        twice.lines.push_back(hexagon.lines[static_cast<std::size_t>(i)]);
    }
    ProjectData alone; // one triangle, stored twice
    alone.lines = {{100, 100, 140, 100}, {140, 100, 120, 100 - 20 * std::sqrt(3.0)}};
    alone.lines.push_back({alone.lines[1].X2, alone.lines[1].Y2, 100, 100});
    for (int i = 0; i < 3; ++i) {
        alone.lines.push_back(alone.lines[static_cast<std::size_t>(i)]);
    }
    const std::vector<Case> cases{
        {"six triangles", hexagon, 0, 360},
        {"3^6 with two neighbouring triangles never built",
         Load("triangles-round-a-rhombus-gap.qlf"), 0, 360},
        // Its most: a hexagon beside it, a square and a triangle at one corner.
        {"3.4.6.4 rosette without its hexagon's sides", Load("rosette-without-its-hexagon.qlf"), 0,
         270},
        {"a square over two of six triangles", square, 1, 450},
        {"a triangle of six stored twice", twice, 3, 420},
        {"a triangle alone stored twice", alone, 3, 120},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Analysis a = Analyse(c.data);
        EXPECT_EQ(a.overfullCorners.size(), c.overfull);
        double largest = 0;
        for (const Corner& corner : a.corners) {
            largest = std::max(largest, corner.polygonAngleSum);
        }
        EXPECT_NEAR(largest, c.largestSum, 1e-6);
    }
}

} // namespace
} // namespace quillet::analysis
