#include "analysis/analysis.h"

#include "sketch.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>
#include <vector>

namespace quillet::analysis {
namespace {

using testing::Around;
using testing::Sketch;

constexpr udtPoint CENTRE{300, 250};

int RegularFaces(const Analysis& a) {
    int n = 0;
    for (const Face& f : a.faces) {
        n += f.regular ? 1 : 0;
    }
    return n;
}

const Corner* CornerNear(const Analysis& a, udtPoint p) {
    for (const Corner& c : a.corners) {
        if (std::hypot(c.at.X - p.X, c.at.Y - p.Y) < 1e-6) {
            return &c;
        }
    }
    return nullptr;
}

TEST(Analysis, PatchesOfTilingsGiveTheirVertexConfigurations) {
    struct Case {
        const char* name;
        ProjectData data;
        int faces;
        std::map<std::string, int> configurations;
    };
    const std::vector<Case> cases{
        {"six triangles round a corner",
         Sketch(CENTRE, Around(CENTRE, 40, 0)).Fan(CENTRE, 40, 0, {3, 3, 3, 3, 3, 3}).Data(),
         6,
         {{"3.3.3.3.3.3", 1}}},
        {"four squares round a corner",
         Sketch(CENTRE, Around(CENTRE, 40, 0)).Fan(CENTRE, 40, 0, {4, 4, 4, 4}).Data(),
         4,
         {{"4.4.4.4", 1}}},
        {"a square with an octagon on each side",
         Sketch({280, 230}, {320, 230})
             .Polygon({280, 230}, {320, 230}, 4, {300, 200})
             .Polygon({280, 230}, {320, 230}, 8, CENTRE)
             .Polygon({320, 230}, {320, 270}, 8, CENTRE)
             .Polygon({320, 270}, {280, 270}, 8, CENTRE)
             .Polygon({280, 270}, {280, 230}, 8, CENTRE)
             .Data(),
         5,
         {{"4.8.8", 4}}},
        {"a hexagon with squares and triangles",
         testing::HexagonSquaresTriangles(CENTRE, 40),
         13,
         {{"3.4.6.4", 6}}},
        {"triangles and squares round a corner",
         Sketch(CENTRE, Around(CENTRE, 40, 0)).Fan(CENTRE, 40, 0, {3, 3, 4, 3, 4}).Data(),
         5,
         {{"3.3.4.3.4", 1}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Analysis a = Analyse(c.data);
        EXPECT_EQ(a.faces.size(), static_cast<std::size_t>(c.faces));
        EXPECT_EQ(RegularFaces(a), c.faces);
        EXPECT_EQ(a.configurations, c.configurations);
        EXPECT_TRUE(a.overfullCorners.empty());
        EXPECT_TRUE(a.crossings.empty());
        for (const Corner& corner : a.corners) {
            // Every polygon drawn is a face: the outlines of several (six triangles outline a
            // hexagon) are no polygons of their own.
            EXPECT_NEAR(corner.polygonAngleSum, corner.angleSum, 1e-9);
            if (corner.surrounded) {
                EXPECT_NEAR(corner.angleSum, 360, 1e-9);
            }
        }
    }
}

TEST(Analysis, RegularFacesHaveEqualSidesAndEqualAngles) {
    struct Case {
        const char* name;
        std::vector<udtPoint> corners;
        bool regular;
    };
    const std::vector<Case> cases{
        {"square", {{100, 100}, {140, 100}, {140, 140}, {100, 140}}, true},
        {"rectangle", {{100, 100}, {141, 100}, {141, 140}, {100, 140}}, false},
        {"rhombus",
         {{100, 100}, {140, 100}, {160, 100 + std::sqrt(1200.0)}, {120, 100 + std::sqrt(1200.0)}},
         false},
        {"triangle", {{100, 100}, {140, 100}, Around({100, 100}, 40, -60)}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProjectData data;
        for (std::size_t i = 0; i < c.corners.size(); ++i) {
            const udtPoint a = c.corners[i], b = c.corners[(i + 1) % c.corners.size()];
            data.lines.push_back({a.X, a.Y, b.X, b.Y});
        }
        const Analysis a = Analyse(data);
        ASSERT_EQ(a.faces.size(), 1u);
        EXPECT_EQ(a.faces[0].regular, c.regular);
        EXPECT_EQ(a.faces[0].corners.size(), c.corners.size());
    }
}

TEST(Analysis, DriftedCornersAreMergedWithinTheTolerance) {
    // A triangle whose last side ends beside its first corner rather than on it, `apart` from
    // it square to that side, outwards.
    struct Case {
        double apart;
        bool merged;
    };
    const std::vector<Case> cases{{1e-9, true}, {0.9e-6, true}, {1.1e-6, false}, {1e-3, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.apart);
        const udtPoint a{100, 100}, b{140, 100}, top = Around(a, 40, 60);
        const udtPoint drifted = Around(a, c.apart, 150);
        ProjectData data;
        data.points = {a, b, top, drifted};
        data.lines = {
            {a.X, a.Y, b.X, b.Y}, {b.X, b.Y, top.X, top.Y}, {top.X, top.Y, drifted.X, drifted.Y}};
        const Analysis an = Analyse(data);
        ASSERT_EQ(an.nearPoints.size(), c.merged ? 1u : 0u);
        if (c.merged) {
            EXPECT_EQ(an.nearPoints[0].a, 1);
            EXPECT_EQ(an.nearPoints[0].b, 4);
            EXPECT_NEAR(an.nearPoints[0].distance, c.apart, 1e-13);
        }
        EXPECT_EQ(RegularFaces(an), c.merged ? 1 : 0);
        EXPECT_EQ(an.faces.size(), c.merged ? 1u : 0u);
    }
}

TEST(Analysis, NearLinesAreEqualButForDrift) {
    // Upright, so that the drift reverses which end comes first by x.
    const udtPoint a{100, 100}, b{100, 150}, drifted{100 + 1e-9, 100};
    ProjectData data;
    data.lines = {{a.X, a.Y, b.X, b.Y},
                  {b.X, b.Y, drifted.X, drifted.Y}, // reversed, drifted: near line 1
                  {b.X, b.Y, a.X, a.Y},             // line 1 reversed: equal, not near
                  {a.X, a.Y, b.X + 1e-3, b.Y}};     // too far off
    const Analysis an = Analyse(data);
    ASSERT_EQ(an.nearLines.size(), 2u);
    EXPECT_EQ(std::pair(an.nearLines[0].a, an.nearLines[0].b), std::pair(1, 2));
    EXPECT_EQ(std::pair(an.nearLines[1].a, an.nearLines[1].b), std::pair(2, 3));
    EXPECT_NEAR(an.nearLines[0].distance, 1e-9, 1e-13);
    EXPECT_TRUE(an.crossings.empty()); // one line once merged
}

TEST(Analysis, CrossingsAndOverlapsButNotSharedEndsOrTJunctions) {
    struct Case {
        const char* name;
        std::vector<udtLine> lines;
        std::vector<Crossing> crossings;
    };
    const std::vector<Case> cases{
        {"crossing", {{100, 100, 200, 200}, {100, 200, 200, 100}}, {{1, 2, {150, 150}, false}}},
        {"overlap", {{100, 100, 200, 100}, {250, 100, 150, 100}}, {{1, 2, {175, 100}, true}}},
        {"shared end", {{100, 100, 200, 100}, {200, 100, 200, 200}}, {}},
        {"end on the other line", {{100, 100, 200, 100}, {150, 100, 150, 50}}, {}},
        {"end beside the other line by drift",
         {{100, 100, 200, 100}, {150, 100 + 1e-9, 150, 50}},
         {}},
        {"apart", {{100, 100, 200, 100}, {100, 101, 200, 101}}, {}},
        {"third line crossing a corner's lines",
         {{100, 100, 200, 100}, {200, 100, 200, 200}, {150, 150, 250, 50}},
         {{1, 3, {200, 100}, false}, {2, 3, {200, 100}, false}}},
        {"lines ending on both sides of a line",
         {{100, 100, 200, 100}, {150, 100, 150, 50}, {150, 100, 150, 150}},
         {{1, 2, {150, 100}, false}, {1, 3, {150, 100}, false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProjectData data;
        data.lines = c.lines;
        const Analysis a = Analyse(data);
        ASSERT_EQ(a.crossings.size(), c.crossings.size());
        for (std::size_t i = 0; i < c.crossings.size(); ++i) {
            EXPECT_EQ(a.crossings[i].a, c.crossings[i].a);
            EXPECT_EQ(a.crossings[i].b, c.crossings[i].b);
            EXPECT_EQ(a.crossings[i].overlap, c.crossings[i].overlap);
            EXPECT_NEAR(a.crossings[i].at.X, c.crossings[i].at.X, 1e-9);
            EXPECT_NEAR(a.crossings[i].at.Y, c.crossings[i].at.Y, 1e-9);
        }
    }
}

TEST(Analysis, OverlappingPolygonsMakeACornerOverfull) {
    struct Case {
        std::vector<int> polygons;
        double sum;
        bool crossings;
    };
    const std::vector<Case> cases{
        {{5, 5, 5}, 324, false},         // a gap, no overlap
        {{5, 5, 5, 5}, 432, false},      // the fourth covers part of the first; no line crosses
        {{3, 3, 3, 3, 3, 4}, 390, true}, // the square covers part of the first triangle
        {{6, 6, 6, 3}, 420, false},      // the triangle lies inside the first hexagon
        {{3, 4, 6, 4}, 360, false}};     // exactly round
    for (const Case& c : cases) {
        const ProjectData data =
            Sketch(CENTRE, Around(CENTRE, 40, 0)).Fan(CENTRE, 40, 0, c.polygons).Data();
        const Analysis a = Analyse(data);
        const Corner* centre = CornerNear(a, CENTRE);
        ASSERT_NE(centre, nullptr);
        SCOPED_TRACE(c.sum);
        EXPECT_NEAR(centre->polygonAngleSum, c.sum, 1e-9);
        const bool overfull = c.sum > 360;
        ASSERT_EQ(a.overfullCorners.size(), overfull ? 1u : 0u);
        if (overfull) {
            EXPECT_EQ(&a.corners[static_cast<std::size_t>(a.overfullCorners[0])], centre);
        }
        EXPECT_EQ(!a.crossings.empty(), c.crossings);
    }
}

TEST(Analysis, CornerOnAnotherPolygonsSideIsNoCorner) {
    // Two squares side by side, and a square twice their size on their two top sides: the
    // corner between the small squares stands on its side, up to drift.
    const ProjectData data = Sketch({260, 250}, {300, 250})
                                 .Polygon({260, 250}, {300, 250}, 4, {280, 200})
                                 .Polygon({300, 250}, {300, 290}, 4, {280, 270})
                                 .Polygon({260, 250}, {340, 250}, 4, {300, 270})
                                 .Data();
    const Analysis a = Analyse(data);
    ASSERT_EQ(a.faces.size(), 3u);
    EXPECT_EQ(RegularFaces(a), 3);
    for (const Face& f : a.faces) {
        EXPECT_EQ(f.corners.size(), 4u);
    }
    const Corner* t = CornerNear(a, {300, 250});
    ASSERT_NE(t, nullptr);
    EXPECT_FALSE(t->surrounded);
    std::vector<int> around = t->around;
    std::sort(around.begin(), around.end());
    EXPECT_EQ(around, (std::vector<int>{0, 4, 4})); // the big square goes straight through
    // The big square's side lies along both small squares' top sides.
    ASSERT_EQ(a.crossings.size(), 2u);
    EXPECT_TRUE(a.crossings[0].overlap && a.crossings[1].overlap);
}

TEST(Analysis, CountsWhatLiesOffTheCanvas) {
    struct Case {
        const char* name;
        ProjectData data;
        int pointsOutside, linesPartly, linesWholly;
    };
    const std::vector<Case> cases{
        {"points on the edges", {{{0, 0}, {581, 493}, {581, 0}}, {}, {}}, 0, 0, 0},
        {"points just off", {{{-0.5, 10}, {10, 493.5}, {581.001, 1}}, {}, {}}, 3, 0, 0},
        {"line inside", {{}, {{10, 10, 20, 20}}, {}}, 0, 0, 0},
        {"line leaving", {{}, {{10, 10, 600, 10}}, {}}, 0, 1, 0},
        {"line across, both ends off", {{}, {{-10, 100, 600, 100}}, {}}, 0, 1, 0},
        {"line through the corner only", {{}, {{-10, 10, 10, -10}}, {}}, 0, 1, 0},
        {"line just missing the corner", {{}, {{-10, 9, 9, -10}}, {}}, 0, 0, 1},
        {"line beside", {{}, {{-10, -10, -5, 600}}, {}}, 0, 0, 1},
        {"line across from far away", {{}, {{-1e300, 100, 1e300, 100}}, {}}, 0, 1, 0},
        {"coordinates that are no numbers",
         {{{std::nan(""), 5}}, {{5, 5, 5, std::numeric_limits<double>::infinity()}}, {}},
         1,
         0,
         1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Analysis a = Analyse(c.data);
        EXPECT_EQ(a.pointsOutside, c.pointsOutside);
        EXPECT_EQ(a.linesPartlyOutside, c.linesPartly);
        EXPECT_EQ(a.linesOutside, c.linesWholly);
    }
}

TEST(Analysis, BoundsCoverPointsAndLineEnds) {
    ProjectData data;
    EXPECT_EQ(Analyse(data).bounds.maxX, 0);
    data.points = {{10, 20}, {30, -5}};
    data.lines = {{0, 7, 700, 8}};
    const Box b = Analyse(data).bounds;
    EXPECT_EQ(std::vector<double>({b.minX, b.minY, b.maxX, b.maxY}),
              std::vector<double>({0, -5, 700, 20}));
}

TEST(Analysis, CanonicalConfigurationIsTheSmallestRotationOrReflection) {
    const std::vector<std::pair<std::vector<int>, std::string>> cases{
        {{6, 4, 3, 4}, "3.4.6.4"},
        {{4, 3, 4, 6}, "3.4.6.4"},
        {{4, 6, 3, 4}, "3.4.4.6"},
        {{8, 4, 8}, "4.8.8"},
        {{12, 12, 3}, "3.12.12"},
        {{4, 3, 3, 4, 3}, "3.3.4.3.4"},
        {{4, 3, 3, 3, 4}, "3.3.3.4.4"},
        {{3, 3, 3, 3, 3, 3}, "3.3.3.3.3.3"},
        {{4, 6, 12}, "4.6.12"},
        {{12, 6, 4}, "4.6.12"},
        {{}, ""}};
    for (const auto& [around, expected] : cases) {
        EXPECT_EQ(CanonicalConfiguration(around), expected);
    }
}

TEST(Analysis, FaceAtFindsTheFaceStrictlyInside) {
    // Four squares round a corner, and apart a large square with a small one inside it.
    ProjectData data =
        Sketch(CENTRE, Around(CENTRE, 40, 0)).Fan(CENTRE, 40, 0, {4, 4, 4, 4}).Data();
    for (const udtLine& l : std::vector<udtLine>{{400, 300, 500, 300},
                                                 {500, 300, 500, 400},
                                                 {500, 400, 400, 400},
                                                 {400, 400, 400, 300},
                                                 {440, 340, 460, 340},
                                                 {460, 340, 460, 360},
                                                 {460, 360, 440, 360},
                                                 {440, 360, 440, 340}}) {
        data.lines.push_back(l);
    }
    const Analysis a = Analyse(data);
    ASSERT_EQ(a.faces.size(), 6u);
    struct Case {
        udtPoint at;
        int corners; // of the face found; 0 for none
        bool regular;
    };
    const std::vector<Case> cases{
        {{320, 230}, 4, true},  {{280, 230}, 4, true},      {{280, 270}, 4, true},
        {{320, 270}, 4, true},  {{300, 250}, 0, false},     {{320, 250}, 0, false},
        {{450, 300}, 0, false}, {{300.0001, 230}, 4, true}, {{320, 250 + 1e-9}, 4, true},
        {{100, 100}, 0, false}, {{450, 350}, 4, true},      {{420, 320}, 4, false},
        {{440, 350}, 0, false}, {{400, 350}, 0, false},     {{-1e300, 5}, 0, false}};
    std::vector<int> found;
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(std::pair(c.at.X, c.at.Y)));
        const int f = FaceAt(a, c.at);
        if (c.corners == 0) {
            EXPECT_EQ(f, -1);
            continue;
        }
        ASSERT_GE(f, 0);
        const Face& face = a.faces[static_cast<std::size_t>(f)];
        EXPECT_EQ(face.corners.size(), static_cast<std::size_t>(c.corners));
        EXPECT_EQ(face.regular, c.regular);
        found.push_back(f);
    }
    std::sort(found.begin(), found.end());
    EXPECT_EQ(std::unique(found.begin(), found.end()) - found.begin(), 6); // each its own face
    const Face& outer = a.faces[static_cast<std::size_t>(FaceAt(a, {420, 320}))];
    EXPECT_EQ(outer.holes, 1);
    EXPECT_NEAR(outer.area, 100 * 100 - 20 * 20, 1e-9);
}

} // namespace
} // namespace quillet::analysis
