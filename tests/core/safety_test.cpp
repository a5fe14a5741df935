// Ways a drawing could be lost or come back different: undo against fills, stale pictures on
// the canvas, handlers called out of order, cancelled and failed loads.
#include "project/project_format.h"
#include "scripted_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <functional>

namespace quillet {
namespace {

using testing::Form;
using testing::TempDir;

constexpr Colour WHITE = 0xFFFFFF;
constexpr Colour RED = RGB(255, 0, 0);
constexpr Colour BLUE = RGB(0, 0, 255);
constexpr int RED_SWATCH = 12;
constexpr int BLUE_SWATCH = 9;

// Two squares side by side: (100,100)-(200,200) and (200,100)-(300,200).
void TwoSquares(Form& f) {
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.Polygon(200, 100, 200, 200, 250, 150);
}

void FillAt(Form& f, int swatch, float x, float y) {
    f.form.SetFillValue(1);
    f.form.picSelColor_Click(swatch);
    f.form.picMain_MouseMove(0, 0, x, y);
    f.form.picMain_Click();
    f.form.SetFillValue(0);
}

std::string Save(Form& f, const std::string& path) {
    f.platform.saveAnswers.push_back(FileDialogAnswer{path, 2});
    f.form.mnuSaveAs_Click();
    return TempDir::Read(path);
}

long Count(const Surface& s, Colour c) {
    long n = 0;
    for (Colour p : s.Pixels()) {
        n += p == c ? 1 : 0;
    }
    return n;
}

TEST(UndoAndFills, APolygonUndoTakesTheFillsMadeSinceAndTheFileAgrees) {
    TempDir dir;
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    FillAt(f, RED_SWATCH, 150, 150); // before the second square: kept
    f.Polygon(200, 100, 200, 200, 250, 150);
    FillAt(f, BLUE_SWATCH, 250, 150); // inside the second square: goes with it
    f.form.mnuUndo_Click();
    ASSERT_EQ(f.form.intFillCount, 1);
    EXPECT_EQ(f.form.arrFills[1].Color, static_cast<std::int32_t>(RED));
    EXPECT_EQ(f.form.intFillUndoDepth, 0);

    // A fill undo cannot bring the undone square back on screen.
    const std::vector<Colour> shown = f.form.picMain.Pixels();
    f.form.SetFillValue(1);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.form.picMain.Pixels(), shown);
    f.form.SetFillValue(0);

    // Reloaded, the kept fill colours its own square and nothing else.
    Save(f, dir.File("d.qlf"));
    Form g;
    g.form.LoadProject(dir.File("d.qlf"));
    EXPECT_EQ(g.form.intFillCount, 1);
    EXPECT_EQ(g.Pixel(150, 150), RED);
    EXPECT_EQ(g.Pixel(250, 150), WHITE);
    EXPECT_LT(Count(g.form.picMain, RED), 100 * 100);

    // A fill made after fills were dropped for good still counts as made after the step.
    Form h;
    h.Polygon(100, 100, 200, 100, 150, 150);
    FillAt(h, RED_SWATCH, 150, 150);
    h.Polygon(200, 100, 200, 200, 250, 150);
    h.form.cmdOnlyLines_Click(); // drops the red fill for good
    FillAt(h, BLUE_SWATCH, 250, 150);
    ASSERT_EQ(h.form.intFillCount, 1);
    h.form.mnuUndo_Click();
    EXPECT_EQ(h.form.intFillCount, 0);
}

// After anything that repaints the whole canvas, a move without the button paints nothing:
// a remembered marker would be "erased" with a green dot where no corner may be any more.
TEST(Marker, EveryWholesaleRepaintForgetsIt) {
    TempDir dir;
    Form saved;
    TwoSquares(saved);
    const std::string file = dir.File("two.qlf");
    Save(saved, file);

    struct Case {
        const char* name;
        std::function<void(Form&)> run;
    };
    const std::vector<Case> cases{
        {"polygon undo", [](Form& f) { f.form.mnuUndo_Click(); }},
        {"lines and points", [](Form& f) { f.form.cmdAll_Click(); }},
        {"lines only", [](Form& f) { f.form.cmdOnlyLines_Click(); }},
        {"points only", [](Form& f) { f.form.cmdOnlyPoints_Click(); }},
        {"new", [](Form& f) { f.form.mnuNew_Click(); }},
        {"load", [&file](Form& f) { f.form.LoadProject(file); }},
    };
    for (const Case& c : cases) {
        Form f;
        TwoSquares(f);
        f.form.blnModified = false;
        // Hold the button over the far corner of the second square: the red marker.
        f.form.picMain_MouseDown(1, 0, 300, 200);
        f.form.picMain_MouseMove(1, 0, 300, 200);
        f.form.picMain_MouseUp(1, 0, 300, 200);
        ASSERT_TRUE(f.form.blnMarkShown) << c.name;
        c.run(f);
        EXPECT_FALSE(f.form.blnMarkShown) << c.name;
        const std::vector<Colour> after = f.form.picMain.Pixels();
        f.form.picMain_MouseMove(0, 0, 100, 100);
        EXPECT_EQ(f.form.picMain.Pixels(), after) << c.name;
    }
}

TEST(ClickStateMachine, APolygonRefusedForAFullDrawingLeavesNoTrace) {
    struct Case {
        const char* name;
        std::function<void(Form&)> fill;
        int clicks;
    };
    const std::vector<Case> cases{
        {"points",
         [](Form& f) {
             f.form.intPointCount = MAX_ELEMENTS - 1;
             f.form.arrPoints.ReDimPreserve(f.form.intPointCount);
         },
         3},
        {"steps",
         [](Form& f) {
             while (f.form.intUndoSteps < MAX_ELEMENTS) {
                 f.form.OpenStep();
             }
         },
         2},
    };
    for (const Case& c : cases) {
        Form f;
        f.Polygon(100, 100, 200, 100, 150, 150);
        FillAt(f, RED_SWATCH, 150, 150);
        c.fill(f);
        const std::vector<Colour> before = f.form.picMain.Pixels();
        // A diagonal: the side would cross the fill.
        f.ClickAt(100, 100);
        f.ClickAt(200, 200);
        if (c.clicks == 3) {
            f.ClickAt(300, 100);
        }
        ASSERT_EQ(f.platform.messages.size(), 1u) << c.name;
        EXPECT_EQ(f.form.intClickPhase, 3) << c.name;
        // Only the hover marker of the last press stays, as after any click; it goes as usual.
        f.form.picMain_MouseMove(0, 0, 200, 100);
        EXPECT_EQ(f.form.picMain.Pixels(), before) << c.name;
    }
}

TEST(UndoCommand, UsableWhenThereIsSomethingToUndoAndHarmlessOtherwise) {
    TempDir dir;
    Form a;
    a.Polygon(100, 100, 200, 100, 150, 150);
    FillAt(a, RED_SWATCH, 150, 150);
    FillAt(a, BLUE_SWATCH, 150, 150);
    Save(a, dir.File("two-fills.qlf"));

    Form f;
    f.form.LoadProject(dir.File("two-fills.qlf"));
    // Both fills are replayed and both snapshots seeded.
    EXPECT_EQ(f.Pixel(150, 150), BLUE);
    EXPECT_EQ(f.form.intFillUndoDepth, 2);
    EXPECT_EQ(f.form.picUndo1.GetPixel(150, 150), RED);
    EXPECT_EQ(f.form.picUndo2.GetPixel(150, 150), WHITE);

    f.form.mnuUndo_Click(); // refused at the loaded lines
    EXPECT_FALSE(f.form.enabled.mnuUndo);
    f.form.SetFillValue(1);
    EXPECT_TRUE(f.form.enabled.mnuUndo);
    f.form.mnuUndo_Click();
    EXPECT_EQ(f.Pixel(150, 150), RED);
    f.form.SetFillValue(0);

    // Undo while a polygon is being built changes nothing, in either mode; the polygon can
    // still be finished.
    Form g;
    g.Polygon(100, 100, 200, 100, 150, 150);
    g.ClickAt(200, 100);
    g.ClickAt(200, 200);
    const DrawingState during = g.form;
    const std::vector<Colour> pixels = g.form.picMain.Pixels();
    g.form.mnuUndo_Click();
    g.form.ctl.chkFill = 1; // as if fill mode were switched on behind the lock
    g.form.mnuUndo_Click();
    g.form.picMain_Click();
    g.form.ctl.chkFill = 0;
    EXPECT_TRUE(static_cast<const DrawingState&>(g.form) == during);
    EXPECT_EQ(g.form.picMain.Pixels(), pixels);
    g.ClickAt(250, 150);
    EXPECT_EQ(g.form.intPointCount, 6);
    EXPECT_EQ(g.form.intUndoSteps, 2);
}

TEST(Commit, TheSavePromptAndLoadDropUndoneFillsFirst) {
    TempDir dir;
    auto twoFillsOneUndone = [](Form& f) {
        f.Polygon(100, 100, 200, 100, 150, 150);
        FillAt(f, RED_SWATCH, 150, 150);
        FillAt(f, BLUE_SWATCH, 150, 150);
        f.form.SetFillValue(1);
        f.form.mnuUndo_Click(); // the blue fill is no longer shown
    };
    Form f;
    twoFillsOneUndone(f);
    f.platform.answers.push_back(MsgResult::Yes);
    f.platform.saveAnswers.push_back(FileDialogAnswer{dir.File("p.qlf"), 2});
    f.form.mnuNew_Click();
    EXPECT_NE(TempDir::Read(dir.File("p.qlf")).find("<FloodFill num=1>\r\n255 @"),
              std::string::npos);

    Form g;
    twoFillsOneUndone(g);
    g.platform.answers.push_back(MsgResult::No);
    g.form.mnuOpen_Click(); // open dialog cancelled
    EXPECT_EQ(g.form.intFillCount, 1);
}

TEST(Load, CancelReadingOrReplayingKeepsTheDrawing) {
    TempDir dir;
    Form a;
    a.Polygon(100, 100, 200, 100, 150, 150);
    FillAt(a, RED_SWATCH, 150, 150);
    FillAt(a, BLUE_SWATCH, 150, 150);
    FillAt(a, RED_SWATCH, 150, 150);
    Save(a, dir.File("three.qlf"));

    using Answer = std::function<bool(long long, long long)>;
    const std::vector<std::pair<const char*, Answer>> cancels{
        {"while reading", [](long long, long long total) { return total > 3; }},
        {"while replaying",
         [](long long done, long long total) { return total == 3 && done == 2; }},
    };
    for (const auto& [name, cancel] : cancels) {
        Form f;
        TwoSquares(f);
        FillAt(f, BLUE_SWATCH, 250, 150);
        f.form.SetFillValue(1);
        const DrawingState before = f.form;
        const std::vector<Colour> pixels = f.form.picMain.Pixels();
        const std::vector<Colour> undo1 = f.form.picUndo1.Pixels();
        f.platform.cancelProgress = cancel;
        f.form.LoadProject(dir.File("three.qlf"));
        EXPECT_TRUE(f.platform.messages.empty()) << name;
        EXPECT_TRUE(static_cast<const DrawingState&>(f.form) == before) << name;
        EXPECT_EQ(f.form.ctl.chkFill, 1) << name;
        EXPECT_EQ(f.form.picMain.Pixels(), pixels) << name;
        EXPECT_EQ(f.form.picUndo1.Pixels(), undo1) << name;
    }
}

TEST(Details, OnlyPointsRightAfterALoadDoesNothing) {
    TempDir dir;
    Form a;
    a.Polygon(100, 100, 200, 100, 150, 150);
    FillAt(a, RED_SWATCH, 150, 150);
    Save(a, dir.File("sq.qlf"));
    Form f;
    f.form.LoadProject(dir.File("sq.qlf"));
    const std::vector<Colour> pixels = f.form.picMain.Pixels();
    f.form.cmdOnlyPoints_Click();
    EXPECT_EQ(f.form.picMain.Pixels(), pixels);
    EXPECT_EQ(f.form.intFillCount, 1);
}

TEST(Details, ASideClickExactlyOnAHorizontalSideBuildsAbove) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 100);
    ASSERT_EQ(f.form.intPointCount, 4);
    for (int i = 3; i <= 4; ++i) {
        EXPECT_LT(f.form.arrPoints[i].Y, 100) << i;
    }
}

TEST(Details, AHalfPixelFillSeedRoundsToTheEvenNeighbour) {
    // A vertical line in column 151 parts the canvas; x = 150.5 seeds column 150 (left),
    // x = 151.5 column 152 (right). Rounding halves up would seed the line itself.
    for (auto [x, left, right] : {std::tuple{150.5, RED, WHITE}, {151.5, WHITE, RED}}) {
        Form f;
        f.form.picMain.DrawMode = R2_COPYPEN;
        f.form.picMain.Line(151, -1, 151, 600, 0);
        f.form.FloodFillAt(static_cast<std::int32_t>(RED), x, 200.5);
        EXPECT_EQ(f.Pixel(10, 10), left) << x;
        EXPECT_EQ(f.Pixel(400, 10), right) << x;
        EXPECT_EQ(f.Pixel(151, 10), 0u) << x;
    }
}

} // namespace
} // namespace quillet
