// The canvas: the construction clicks, mouse tracking, flood fill and undo.
#include "geometry/render.h"
#include "project/project_file.h"
#include "project/project_format.h"
#include "scripted_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace quillet {
namespace {

using testing::Form;
using testing::TempDir;

constexpr Colour WHITE = 0xFFFFFF;
constexpr Colour GREEN = 65280;
constexpr Colour RED = 255;

CommandStates AllCommands(bool on) {
    CommandStates s;
    s.cmdAll = s.cmdOnlyPoints = s.cmdOnlyLines = s.mnuUndo = s.mnuSaveAs = s.mnuOpen = s.chkFill =
        on;
    return s;
}

TEST(ClickStateMachine, ThreeClicksBuildASquareAndAFourthStartsAgain) {
    Form f;
    f.form.ctl.txtNumCorners = "4";
    f.ClickAt(100, 100);
    EXPECT_EQ(f.form.intClickPhase, 1);
    EXPECT_EQ(f.Pixel(100, 100), RED);
    EXPECT_EQ(f.form.enabled, AllCommands(false));

    f.ClickAt(200, 100);
    EXPECT_EQ(f.form.intClickPhase, 2);
    EXPECT_EQ(f.form.intPointCount, 2); // the first side is stored at once
    EXPECT_EQ(f.form.intLineCount, 1);
    EXPECT_EQ(f.form.intUndoSteps, 1);
    EXPECT_EQ(f.Pixel(150, 100), 0u);
    EXPECT_EQ(f.form.enabled, AllCommands(false));
    EXPECT_FALSE(f.form.blnModified);

    f.ClickAt(150, 150);
    EXPECT_EQ(f.form.intClickPhase, 3);
    EXPECT_TRUE(f.form.blnModified);
    EXPECT_EQ(f.form.intPointCount, 4);
    EXPECT_EQ(f.form.intLineCount, 4);
    EXPECT_EQ(f.form.enabled, AllCommands(true));
    EXPECT_EQ(f.Pixel(100, 100), GREEN);
    EXPECT_EQ(f.Pixel(200, 100), GREEN);
    EXPECT_EQ(f.Pixel(100, 150), 0u);
    EXPECT_EQ(f.Pixel(150, 150), WHITE);

    f.ClickAt(120, 160); // snaps to the nearest corner (100, 200)
    EXPECT_EQ(f.form.intClickPhase, 1);
    EXPECT_EQ(f.form.dblX1, f.form.arrPoints[3].X);
    EXPECT_EQ(f.form.dblY1, f.form.arrPoints[3].Y);
}

TEST(ClickStateMachine, SecondPointEqualToTheFirstIsRefused) {
    Form f;
    f.ClickAt(100, 100);
    f.ClickAt(100, 100);
    EXPECT_EQ(f.form.intClickPhase, 1);
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text,
              "Gelieve uw tweede punt verder van het eerste\r\nverwijderd te plaatsen.");
    EXPECT_EQ(f.platform.messages[0].title, "Quillet");
    EXPECT_EQ(f.platform.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(f.form.enabled, AllCommands(false));
    f.ClickAt(101, 100); // one pixel away is another point in an empty drawing
    EXPECT_EQ(f.form.intClickPhase, 2);

    // With corners to snap to, a second click near the first snaps onto it.
    Form g;
    g.Polygon(100, 100, 200, 100, 150, 150);
    g.ClickAt(100, 100);
    g.ClickAt(104, 103);
    EXPECT_EQ(g.form.intClickPhase, 1);
    EXPECT_EQ(g.platform.messages.size(), 1u);
}

TEST(ClickStateMachine, TheFirstSideSurvivesTheRubberBand) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.form.picMain_MouseDown(1, 0, 150.0f, 150.0f); // a later drag
    f.form.picMain_MouseMove(1, 0, 300.0f, 300.0f);
    f.form.picMain_MouseMove(1, 0, 320.0f, 310.0f);
    for (int x = 102; x < 198; ++x) {
        ASSERT_EQ(f.Pixel(x, 100), 0u) << x;
    }
}

TEST(ClickStateMachine, ARubberBandLeftAtNewProjectIsNotDrawnAgain) {
    Form f;
    f.ClickAt(50, 50);
    f.form.picMain_MouseDown(1, 0, 50.0f, 50.0f);
    f.form.picMain_MouseMove(1, 0, 300.0f, 300.0f);
    f.form.picMain_MouseUp(1, 0, 300.0f, 300.0f); // released outside: no click
    f.form.mnuNew_Click();
    f.form.picMain_MouseDown(1, 0, 10.0f, 10.0f);
    f.form.picMain_MouseMove(1, 0, 20.0f, 10.0f);
    for (Colour c : f.form.picMain.Pixels()) {
        ASSERT_EQ(c, WHITE);
    }
}

TEST(ClickStateMachine, OutOfRangeCountAtTheSideClickBuildsNothing) {
    Form f;
    f.ClickAt(100, 100);
    f.ClickAt(200, 100);
    f.form.ctl.txtNumCorners = "0";
    f.ClickAt(150, 150);
    EXPECT_EQ(f.form.intClickPhase, 2);
    EXPECT_EQ(f.form.intPointCount, 2);
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].title, "Fout");
    f.form.ctl.txtNumCorners = "5";
    f.ClickAt(150, 150);
    EXPECT_EQ(f.form.intClickPhase, 3);
    EXPECT_EQ(f.form.intPointCount, 5);
}

TEST(ClickStateMachine, AFullDrawingRefusesThePolygonAndStaysUsable) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    const int steps = f.form.intUndoSteps;
    f.form.intPointCount = MAX_ELEMENTS - 1; // pretend the drawing is nearly full
    f.form.arrPoints.ReDimPreserve(f.form.intPointCount);
    f.form.blnModified = false;
    f.ClickAt(100, 100);
    f.ClickAt(200, 100);
    f.ClickAt(150, 20);
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text,
              "De tekening is vol: meer dan 32767 punten of lijnen kan Quillet niet bewaren.");
    EXPECT_EQ(f.form.intPointCount, MAX_ELEMENTS - 1);
    EXPECT_EQ(f.form.intLineCount, 4);
    EXPECT_EQ(f.form.intUndoSteps, steps);
    EXPECT_FALSE(f.form.blnModified);
    EXPECT_EQ(f.form.enabled, AllCommands(true));
    EXPECT_EQ(f.form.intClickPhase, 3);
}

TEST(ClickStateMachine, FillModeClicksNeverMoveThePhase) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.form.SetFillValue(1);
    f.ClickAt(150, 150);
    f.ClickAt(400, 400);
    EXPECT_EQ(f.form.intClickPhase, 3);
}

TEST(MouseTracking, LabelSnappingAndTies) {
    Form f;
    f.form.picMain_MouseMove(0, 0, 12.0f, 7.0f);
    EXPECT_EQ(f.form.ctl.Label2, "X: 12     Y: 7");
    f.form.picMain_MouseMove(0, 0, 2.5f, 3.5f);
    EXPECT_EQ(f.form.ctl.Label2, "X: 2     Y: 4");
    EXPECT_EQ(f.form.dblMouseX, 2.5); // no corners: the pointer itself

    f.Polygon(100, 100, 200, 100, 150, 150);
    f.form.picMain_MouseMove(0, 0, 150.0f, 90.0f); // equally near points 1 and 2
    EXPECT_EQ(f.form.dblMouseX, 100);
    EXPECT_EQ(f.form.dblMouseY, 100);
    EXPECT_EQ(f.form.ctl.Label2, "X: 150     Y: 90");
    f.form.picMain_MouseMove(0, 0, 190.0f, 90.0f);
    EXPECT_EQ(f.form.dblMouseX, 200);

    // In fill mode only the tracked position follows the raw pointer.
    f.form.SetFillValue(1);
    f.form.picMain_MouseMove(0, 0, 33.0f, 44.0f);
    EXPECT_EQ(f.form.dblMouseX, 33);
    EXPECT_EQ(f.form.ctl.Label2, "X: 190     Y: 90");
}

TEST(MouseTracking, MarkerWhileDraggingAndNoRepaintWithoutChange) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.form.picMain_MouseMove(0, 0, 300.0f, 300.0f);
    f.form.picMain_MouseDown(1, 0, 300.0f, 300.0f);
    f.form.picMain_MouseMove(1, 0, 110.0f, 110.0f);
    EXPECT_TRUE(f.form.blnMarkShown);
    EXPECT_EQ(f.Pixel(100, 100), RED);
    const int refreshes = f.platform.refreshes;
    f.form.picMain_MouseMove(1, 0, 111.0f, 112.0f); // same corner: only the label changes
    EXPECT_EQ(f.platform.refreshes, refreshes);
    EXPECT_EQ(f.form.ctl.Label2, "X: 111     Y: 112");
    f.form.picMain_MouseMove(1, 0, 210.0f, 90.0f);
    EXPECT_EQ(f.Pixel(100, 100), GREEN);
    EXPECT_EQ(f.Pixel(200, 100), RED);
    f.form.picMain_MouseUp(1, 0, 210.0f, 90.0f);
    f.form.picMain_MouseMove(0, 0, 110.0f, 110.0f); // no button: the marker goes, none comes
    EXPECT_EQ(f.Pixel(200, 100), GREEN);
    EXPECT_EQ(f.Pixel(100, 100), GREEN);
    EXPECT_FALSE(f.form.blnMarkShown);
}

TEST(MouseTracking, RubberBandIsDrawnAndErasedByXor) {
    Form f;
    f.ClickAt(50, 50);
    const std::vector<Colour> before = f.form.picMain.Pixels();
    f.form.picMain_MouseDown(1, 0, 50.0f, 50.0f);
    f.form.picMain_MouseMove(1, 0, 90.0f, 60.0f);
    EXPECT_TRUE(f.form.blnRubberShown);
    EXPECT_EQ(f.Pixel(70, 55), 0u); // white XOR white
    f.form.picMain_MouseMove(1, 0, 50.0f, 90.0f);
    EXPECT_EQ(f.Pixel(70, 55), WHITE);
    f.form.picMain_MouseMove(1, 0, 50.0f, 50.0f); // back on the first point: band erased
    EXPECT_EQ(f.form.picMain.Pixels(), before);
}

TEST(FloodFill, LineHitTestAndRecords) {
    Form f;
    // A sloped line from (100, 100) to (300, 200): y = 100 + (x - 100) / 2.
    f.ClickAt(100, 100);
    f.ClickAt(300, 200);
    f.ClickAt(250, 100);
    f.form.SetFillValue(1);
    f.form.picSelColor_Click(12);
    auto fillAt = [&](double x, double y) {
        f.form.picMain_MouseMove(0, 0, static_cast<float>(x), static_cast<float>(y));
        f.form.picMain_Click();
    };
    fillAt(200, 151); // one pixel below the line
    fillAt(200, 149); // one above
    EXPECT_EQ(f.platform.messages.size(), 2u);
    EXPECT_EQ(f.platform.messages[0].text, "Niet op de lijnen klikken!");
    EXPECT_EQ(f.platform.messages[0].title, "Fill Error");
    EXPECT_EQ(f.platform.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(f.form.intFillCount, 0);
    fillAt(200, 152); // two pixels below: filled
    EXPECT_EQ(f.platform.messages.size(), 2u);
    EXPECT_EQ(f.form.intFillCount, 1);
    f.form.mnuUndo_Click();
    f.form.SetFillValue(0); // drops it again
    f.form.SetFillValue(1);
    fillAt(100, 102); // exactly at an end point's X: not refused by that line
    EXPECT_EQ(f.platform.messages.size(), 2u);
    EXPECT_EQ(f.form.intFillCount, 1);

    // Vertical lines refuse their whole pixel column, far beyond their ends.
    Form g;
    g.Polygon(300, 100, 300, 200, 400, 150);
    g.form.SetFillValue(1);
    g.form.picMain_MouseMove(0, 0, 300.0f, 450.0f);
    g.form.picMain_Click();
    EXPECT_EQ(g.platform.messages.size(), 1u);
}

TEST(FloodFill, SameColourOnceTwoColoursTwiceAndTheSnapshots) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.form.SetFillValue(1);
    EXPECT_FALSE(f.form.enabled.mnuUndo); // no fills yet
    EXPECT_FALSE(f.form.enabled.cmdAll);
    const std::vector<Colour> empty = f.form.picMain.Pixels();
    f.form.picSelColor_Click(12);
    f.form.picMain_MouseMove(0, 0, 150.0f, 150.0f);
    f.form.picMain_Click();
    f.form.picMain_Click();
    EXPECT_EQ(f.form.intFillCount, 1);
    EXPECT_TRUE(f.form.enabled.mnuUndo);
    EXPECT_EQ(f.form.picUndo1.Pixels(), empty);
    EXPECT_EQ(f.Pixel(150, 150), RGB(255, 0, 0));
    EXPECT_EQ(f.Pixel(150, 250), WHITE); // outside the square
    f.form.picSelColor_Click(9);
    f.form.picMain_Click();
    EXPECT_EQ(f.form.intFillCount, 2);
    EXPECT_EQ(f.form.arrFills[2].Color, static_cast<std::int32_t>(RGB(0, 0, 255)));
    EXPECT_EQ(f.form.picUndo2.Pixels(), empty);
    EXPECT_EQ(f.form.intFillUndoDepth, 2);
    EXPECT_EQ(f.Pixel(150, 150), RGB(0, 0, 255));
}

struct TwoFills : ::testing::Test {
    Form f;
    std::vector<Colour> none, one, both;
    void SetUp() override {
        f.Polygon(100, 100, 200, 100, 150, 150);
        f.Polygon(200, 100, 200, 200, 250, 150);
        f.form.SetFillValue(1);
        none = f.form.picMain.Pixels();
        Fill(12, 150, 150);
        one = f.form.picMain.Pixels();
        Fill(9, 250, 150);
        both = f.form.picMain.Pixels();
    }
    void Fill(int swatch, float x, float y) {
        f.form.picSelColor_Click(swatch);
        f.form.picMain_MouseMove(0, 0, x, y);
        f.form.picMain_Click();
    }
};

TEST_F(TwoFills, UndoCyclesThroughThreePictures) {
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.form.picMain.Pixels(), one);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.form.picMain.Pixels(), none);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.form.picMain.Pixels(), both);
    EXPECT_EQ(f.form.intFillCount, 2);
}

TEST_F(TwoFills, SwitchingFillModeOffDropsTheUndoneFill) {
    const udtFill first = f.form.arrFills[1];
    f.form.mnuUndo_Click();
    f.form.SetFillValue(0);
    EXPECT_EQ(f.form.intFillCount, 1);
    EXPECT_EQ(f.form.arrFills[1], first);
    f.form.SetFillValue(1);
    const std::vector<Colour> shown = f.form.picMain.Pixels();
    f.form.mnuUndo_Click(); // no snapshot left
    EXPECT_EQ(f.form.picMain.Pixels(), shown);
}

TEST_F(TwoFills, ANewFillAfterTwoUndosReplacesBoth) {
    f.form.mnuUndo_Click();
    f.form.mnuUndo_Click();
    Fill(10, 250, 150);
    ASSERT_EQ(f.form.intFillCount, 1);
    EXPECT_EQ(f.form.arrFills[1].Color, static_cast<std::int32_t>(RGB(0, 255, 0)));
    EXPECT_EQ(f.Pixel(150, 150), WHITE);
}

TEST_F(TwoFills, RedrawsKeepOrDropTheFills) {
    f.form.SetFillValue(0);
    f.form.cmdAll_Click();
    EXPECT_EQ(f.form.intFillCount, 2);
    EXPECT_EQ(f.Pixel(150, 150), RGB(255, 0, 0));
    f.form.cmdOnlyLines_Click();
    EXPECT_EQ(f.form.intFillCount, 0);
    EXPECT_EQ(f.Pixel(150, 150), WHITE);
    EXPECT_EQ(f.Pixel(100, 100), 0u); // lines in black, points not drawn
    // The dropped fills do not come back through fill undo.
    f.form.SetFillValue(1);
    Fill(10, 250, 150);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.Pixel(150, 150), WHITE);
    EXPECT_EQ(f.Pixel(250, 150), WHITE);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.Pixel(150, 150), WHITE);
    EXPECT_EQ(f.Pixel(250, 150), RGB(0, 255, 0));
    f.form.SetFillValue(0);
    f.form.cmdOnlyPoints_Click();
    EXPECT_EQ(f.Pixel(100, 100), GREEN);
    EXPECT_EQ(f.Pixel(150, 100), WHITE);
    EXPECT_EQ(f.Pixel(250, 150), WHITE);
    EXPECT_EQ(f.form.intFillCount, 0);
}

// Fill undo shows the pictures before the newest fills, then the newest again, round and round;
// leaving fill mode keeps the fills of the picture shown. `start` gives a window in fill mode
// whose snapshots go back over its newest n fills; `pictures[k]` is its canvas after k of them.
void ExpectLeavingFillModeKeepsTheFillsShown(const std::function<std::unique_ptr<Form>()>& start,
                                             const std::vector<std::vector<Colour>>& pictures,
                                             const std::string& what) {
    const int n = static_cast<int>(pictures.size()) - 1;
    for (int undos = 0; undos <= 2 * (n + 1); ++undos) {
        const std::string at = what + ", " + std::to_string(undos) + " undos";
        const std::unique_ptr<Form> f = start();
        const int fills = f->form.intFillCount;
        EXPECT_TRUE(f->form.enabled.mnuUndo) << at;
        ASSERT_EQ(f->form.picMain.Pixels(), pictures[static_cast<std::size_t>(n)]) << at;
        int shown = n;
        for (int i = 1; i <= undos; ++i) {
            f->form.mnuUndo_Click();
            shown = shown == 0 ? n : shown - 1;
            ASSERT_EQ(f->form.picMain.Pixels(), pictures[static_cast<std::size_t>(shown)])
                << at << ": undo " << i;
        }
        f->form.SetFillValue(0);
        EXPECT_EQ(f->form.intFillCount, fills - (n - shown)) << at;
        EXPECT_EQ(f->form.picMain.Pixels(), pictures[static_cast<std::size_t>(shown)]) << at;
    }
}

void TwoSquares(Form& f) {
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.Polygon(200, 100, 200, 200, 250, 150);
}

const std::tuple<int, float, float> SQUARE_FILLS[] = {{12, 150.0f, 150.0f}, {9, 250.0f, 150.0f}};

void FillSquare(Form& f, int k) {
    const auto [swatch, x, y] = SQUARE_FILLS[k];
    f.form.picSelColor_Click(swatch);
    f.form.picMain_MouseMove(0, 0, x, y);
    f.form.picMain_Click();
}

TEST(FloodFill, LeavingFillModeAfterUndosKeepsTheFillsShown) {
    for (const int n : {1, 2}) {
        // Fill mode left and taken again without an undo in between keeps the snapshots.
        for (const bool again : {false, true}) {
            std::vector<std::vector<Colour>> pictures; // taken by the first start
            auto start = [&] {
                auto f = std::make_unique<Form>();
                TwoSquares(*f);
                f->form.SetFillValue(1);
                std::vector<std::vector<Colour>> seen{f->form.picMain.Pixels()};
                for (int k = 0; k < n; ++k) {
                    FillSquare(*f, k);
                    seen.push_back(f->form.picMain.Pixels());
                }
                if (pictures.empty()) {
                    pictures = std::move(seen);
                }
                if (again) {
                    f->form.SetFillValue(0);
                    f->form.SetFillValue(1);
                }
                return f;
            };
            start();
            ExpectLeavingFillModeKeepsTheFillsShown(
                start, pictures,
                std::to_string(n) + " fills drawn" + (again ? ", fill mode left and taken" : ""));
        }
    }
}

// An Undo refused because it would reach into the loaded lines turns Undo off; fill mode turns
// it on again for the snapshots the load made.
TEST(FloodFill, LeavingFillModeAfterUndosOfLoadedFillsKeepsTheFillsShown) {
    TempDir dir;
    Form drawn;
    TwoSquares(drawn);
    drawn.form.SetFillValue(1);
    FillSquare(drawn, 0);
    FillSquare(drawn, 1);
    const ProjectData data = CollectProject(drawn.form);
    auto load = [&](int fills) {
        ProjectData d = data;
        d.fills.resize(static_cast<std::size_t>(fills));
        auto f = std::make_unique<Form>();
        f->form.LoadProject(dir.Write(std::to_string(fills) + ".qlf", WriteProject(d, ',')));
        EXPECT_EQ(f->form.intFillCount, fills);
        f->form.mnuUndo_Click();
        EXPECT_FALSE(f->form.enabled.mnuUndo);
        f->form.SetFillValue(1);
        return f;
    };
    for (const int n : {1, 2}) {
        std::vector<std::vector<Colour>> pictures;
        for (int k = 0; k <= n; ++k) {
            pictures.push_back(load(k)->form.picMain.Pixels());
        }
        ExpectLeavingFillModeKeepsTheFillsShown([&] { return load(n); }, pictures,
                                                std::to_string(n) + " fills loaded");
    }

    // Once the snapshots are spent, fill mode leaves Undo off.
    const std::unique_ptr<Form> f = load(2);
    f->form.mnuUndo_Click();
    f->form.SetFillValue(0);
    ASSERT_EQ(f->form.intFillCount, 1);
    f->form.mnuUndo_Click();
    f->form.SetFillValue(1);
    EXPECT_FALSE(f->form.enabled.mnuUndo);
}

TEST(PolygonUndo, BackToAnEmptyDrawing) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.Polygon(200, 100, 200, 200, 250, 150);
    f.form.SetFillValue(1);
    f.form.picSelColor_Click(12);
    f.form.picMain_MouseMove(0, 0, 150.0f, 150.0f);
    f.form.picMain_Click();
    f.form.SetFillValue(0);
    EXPECT_TRUE(f.form.enabled.mnuUndo);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.form.intPointCount, 4);
    EXPECT_EQ(f.form.intLineCount, 4);
    EXPECT_EQ(f.Pixel(150, 150), WHITE); // repainted without fills
    // The fill lies in the square that stays: the undone one did not bound it.
    EXPECT_EQ(f.form.intFillCount, 1);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.form.intFillCount, 0); // without its square it would flood the canvas
    EXPECT_EQ(f.form.intPointCount, 0);
    EXPECT_EQ(f.form.intLineCount, 0);
    EXPECT_EQ(f.form.intUndoSteps, 0);
    CommandStates expected;
    expected.cmdAll = expected.cmdOnlyLines = expected.cmdOnlyPoints = false;
    expected.mnuUndo = expected.mnuSaveAs = expected.chkFill = false;
    expected.mnuOpen = true;
    EXPECT_EQ(f.form.enabled, expected);
    for (Colour c : f.form.picMain.Pixels()) {
        ASSERT_EQ(c, WHITE);
    }
    EXPECT_TRUE(f.form.blnModified);
}

TEST(PolygonUndo, APolygonOverExistingGeometryAddsNothingButStillUndoes) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.Polygon(200, 100, 100, 100, 150, 150); // the same square
    EXPECT_EQ(f.form.intPointCount, 4);
    EXPECT_EQ(f.form.intUndoSteps, 2);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.form.intPointCount, 4);
    EXPECT_EQ(f.form.intLineCount, 4);
    EXPECT_EQ(f.form.intUndoSteps, 1);
}

// Random use of the canvas and the commands, checking the document's invariants throughout.
TEST(Randomized, InvariantsHoldAfterEveryStep) {
    Form f;
    std::mt19937 rng(20261208);
    auto check = [&](int step) {
        const DrawingState& d = f.form;
        ASSERT_GE(d.intPointCount, 0);
        ASSERT_GE(d.arrPoints.UBound(), d.intPointCount) << step;
        ASSERT_GE(d.arrLines.UBound(), d.intPointCount == 0 ? 0 : d.intLineCount) << step;
        ASSERT_GE(d.arrFills.UBound(), d.intFillCount) << step;
        ASSERT_GE(d.intFillCount, 0) << step;
        ASSERT_GE(d.arrStepLines.UBound(), d.intUndoSteps) << step;
        ASSERT_GE(d.arrStepPoints.UBound(), d.intUndoSteps) << step;
        ASSERT_TRUE(d.intFillUndoDepth >= 0 && d.intFillUndoDepth <= 2) << step;
        for (int k = 1; k <= d.intUndoSteps; ++k) {
            for (const udtUndoStep* s : {&d.arrStepLines[k], &d.arrStepPoints[k]}) {
                ASSERT_EQ(s->Items.UBound(), s->Count) << step;
                for (int i = 1; i <= s->Count; ++i) {
                    ASSERT_GE(s->Items[i], 1) << step;
                    if (i > 1) {
                        ASSERT_GT(s->Items[i], s->Items[i - 1]) << step;
                    }
                }
            }
            if (d.arrStepPoints[k].Count > 0) {
                ASSERT_LE(d.arrStepPoints[k].Items[d.arrStepPoints[k].Count], d.intPointCount)
                    << step;
            }
            if (d.arrStepLines[k].Count > 0 && d.intPointCount > 0) {
                ASSERT_LE(d.arrStepLines[k].Items[d.arrStepLines[k].Count], d.intLineCount) << step;
            }
        }
        if (d.intClickPhase == 1 || d.intClickPhase == 2) {
            ASSERT_EQ(d.enabled, AllCommands(false)) << step;
        }
        if (d.intPointCount == 0 && d.intClickPhase != 1 && d.intClickPhase != 2) {
            ASSERT_FALSE(d.enabled.cmdAll) << step;
            ASSERT_FALSE(d.enabled.chkFill) << step;
        }
        if (f.form.ctl.chkFill == 1) {
            ASSERT_FALSE(d.enabled.cmdAll) << step;
        }
    };
    std::uniform_real_distribution<double> pos(0, 580);
    for (int step = 0; step < 3000; ++step) {
        const int action = static_cast<int>(rng() % 12);
        const bool constructing = f.form.intClickPhase == 1 || f.form.intClickPhase == 2;
        if (action < 5) {
            f.ClickAt(std::round(pos(rng)), std::round(pos(rng) * 0.84));
        } else if (action == 5 && f.form.enabled.mnuUndo) {
            f.form.mnuUndo_Click();
        } else if (action == 6 && f.form.enabled.chkFill) {
            f.form.SetFillValue(1 - f.form.ctl.chkFill);
        } else if (action == 7 && f.form.enabled.cmdAll) {
            f.form.cmdAll_Click();
        } else if (action == 8 && f.form.enabled.cmdOnlyLines) {
            f.form.cmdOnlyLines_Click();
        } else if (action == 9 && f.form.enabled.cmdOnlyPoints) {
            f.form.cmdOnlyPoints_Click();
        } else if (action == 10) {
            f.form.picSelColor_Click(static_cast<int>(rng() % 16));
        } else if (action == 11 && !constructing && rng() % 20 == 0) {
            f.platform.answers.push_back(MsgResult::No);
            f.form.mnuNew_Click();
        } else {
            f.form.ctl.txtNumCorners = std::to_string(3 + rng() % 8);
        }
        check(step);
        if (::testing::Test::HasFatalFailure()) {
            return;
        }
    }
}

} // namespace
} // namespace quillet
