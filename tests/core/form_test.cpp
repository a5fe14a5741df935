// Start-up, New Project, the palette, the corner-count box and the command line.
#include "app/controls.h"
#include "scripted_platform.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

using testing::Form;

CommandStates EmptyDrawingCommands() {
    CommandStates s;
    s.cmdAll = s.cmdOnlyPoints = s.cmdOnlyLines = false;
    s.mnuUndo = s.mnuSaveAs = s.chkFill = false;
    s.mnuOpen = true;
    return s;
}

TEST(StartUp, EmptyDrawingPaletteAndCommands) {
    Form f;
    EXPECT_EQ(f.form.enabled, EmptyDrawingCommands());
    EXPECT_EQ(f.form.ctl.chkFill, 0);
    EXPECT_EQ(f.form.ctl.txtNumCorners, "3");
    EXPECT_EQ(f.form.ctl.picColor, 0xFFFFFFu);
    EXPECT_EQ(f.form.intNumCorners, 3);
    EXPECT_EQ(f.form.intPointCount, 0);
    EXPECT_EQ(f.form.intUndoSteps, 0);
    EXPECT_EQ(f.form.strFileName, "");
    EXPECT_EQ(f.form.picMain.ScaleWidth(), 581);
    for (Colour c : f.form.picMain.Pixels()) {
        ASSERT_EQ(c, 0xFFFFFFu);
    }
    EXPECT_EQ(f.form.ctl.picSelColor[4], RGB(128, 0, 0));
    EXPECT_EQ(f.form.ctl.picSelColor[7], RGB(192, 192, 192));
    EXPECT_EQ(f.form.ctl.picSelColor[9], RGB(0, 0, 255));
    EXPECT_EQ(f.form.ctl.picSelColor[14], RGB(255, 255, 0));
}

TEST(StartUp, CustomColourIsDrawnAndDiffersBetweenStarts) {
    testing::ScriptedPlatform p;
    frmMain a(p, 10, 10), b(p, 10, 10), c(p, 10, 10);
    a.RandomSeed = 1;
    b.RandomSeed = 2;
    c.RandomSeed = 1;
    a.Form_Load();
    b.Form_Load();
    c.Form_Load();
    EXPECT_NE(a.ctl.picSelColor[16], b.ctl.picSelColor[16]);
    EXPECT_EQ(a.ctl.picSelColor[16], c.ctl.picSelColor[16]);
    EXPECT_EQ(a.ctl.picSelColor[16] & ~COLOUR_MASK, 0u);
}

TEST(StartUp, CommandLineQuotes) {
    auto cmd = [](std::vector<const char*> args) {
        args.insert(args.begin(), "quillet");
        return MakeCmdLine(static_cast<int>(args.size()), args.data());
    };
    EXPECT_EQ(cmd({}), "");
    EXPECT_EQ(cmd({"\"C:/a b/x.QLF\""}), "C:/a b/x.QLF");
    EXPECT_EQ(cmd({"\"a.qlf\"", "\"b.qlf\""}), "a.qlf\" \"b.qlf");
    EXPECT_EQ(cmd({"a.qlf\""}), "a.qlf");
    EXPECT_EQ(cmd({"\"a.qlf"}), "a.qlf");
    EXPECT_EQ(cmd({"\""}), "");
    EXPECT_EQ(cmd({"my", "drawing.qlf"}), "my drawing.qlf");
    EXPECT_EQ(cmd({"a.qlf "}), "a.qlf ");
}

TEST(NewProjectCommand, ResetsStateKeepsTextAndColours) {
    Form f;
    f.form.ctl.txtNumCorners = "7";
    f.form.picSelColor_Click(4);
    f.Polygon(100, 100, 200, 100, 150, 150, 7);
    f.form.SetFillValue(1);
    f.form.picMain_MouseMove(0, 0, 150, 130);
    f.form.picMain_Click();
    ASSERT_EQ(f.form.intFillCount, 1);
    ASSERT_TRUE(f.form.blnModified);
    f.platform.answers.push_back(MsgResult::No);
    f.form.mnuNew_Click();
    EXPECT_EQ(f.form.ctl.chkFill, 0);
    EXPECT_EQ(f.form.enabled, EmptyDrawingCommands());
    EXPECT_EQ(f.form.intPointCount, 0);
    EXPECT_EQ(f.form.intFillCount, 0);
    EXPECT_EQ(f.form.intUndoSteps, 0);
    EXPECT_EQ(f.form.intClickPhase, 0);
    EXPECT_FALSE(f.form.blnModified);
    EXPECT_EQ(f.form.intNumCorners, 3);
    EXPECT_EQ(f.form.ctl.txtNumCorners, "7");
    EXPECT_EQ(f.form.ctl.picColor, RGB(128, 0, 0));
    EXPECT_EQ(f.form.picMain.GetPixel(150, 130), 0xFFFFFFu);
    // The next polygon has 7 corners and opens step 1 again.
    f.ClickAt(100, 100);
    f.ClickAt(200, 100);
    f.ClickAt(150, 150);
    EXPECT_EQ(f.form.intPointCount, 7);
    EXPECT_EQ(f.form.intUndoSteps, 1);
}

TEST(NewProjectCommand, EndsAConstructionInProgress) {
    Form f;
    f.ClickAt(100, 100);
    f.ClickAt(200, 100);
    ASSERT_EQ(f.form.intClickPhase, 2);
    f.form.mnuNew_Click(); // nothing modified yet: no question
    EXPECT_TRUE(f.platform.messages.empty());
    EXPECT_EQ(f.form.intClickPhase, 0);
    f.ClickAt(50, 50);
    EXPECT_EQ(f.form.intClickPhase, 1);
    EXPECT_EQ(f.form.dblX1, 50);
}

TEST(Palette, SwatchesAndTheCustomColourDialog) {
    Form f;
    f.form.picSelColor_Click(4);
    EXPECT_EQ(f.form.ctl.picColor, RGB(128, 0, 0));
    EXPECT_TRUE(f.platform.colourInitials.empty());

    const Colour custom = f.form.ctl.picSelColor[16];
    f.platform.colourAnswers.push_back(std::nullopt); // Cancel
    f.form.picSelColor_Click(16);
    EXPECT_EQ(f.platform.colourInitials.back(), custom);
    EXPECT_EQ(f.platform.colourTitles.back(), "Select a color");
    EXPECT_EQ(f.form.ctl.picSelColor[16], custom);
    EXPECT_EQ(f.form.ctl.picColor, RGB(128, 0, 0));

    f.platform.colourAnswers.push_back(RGB(0, 0, 255));
    f.form.picSelColor_Click(16);
    EXPECT_EQ(f.form.ctl.picSelColor[16], RGB(0, 0, 255));
    EXPECT_EQ(f.form.ctl.picColor, RGB(0, 0, 255));
    f.platform.colourAnswers.push_back(std::nullopt);
    f.form.picSelColor_Click(16);
    EXPECT_EQ(f.platform.colourInitials.back(), RGB(0, 0, 255));
    EXPECT_FALSE(f.form.blnModified);
}

TEST(CornerBox, KeyFilterLetsOnlyDigitsAndBackspaceThrough) {
    Form f;
    for (int code = 0; code < 256; ++code) {
        int key = code;
        f.form.txtNumCorners_KeyPress(key);
        const bool kept = (code >= '0' && code <= '9') || code == 8;
        EXPECT_EQ(key, kept ? code : 0) << code;
    }
}

TEST(CornerBox, CheckOnLeavingAcceptsThreeToFifty) {
    struct Case {
        const char* text;
        int accepted; // 0 = refused
    };
    for (Case c : {Case{"7", 7},
                   {"007", 7},
                   {"3,5", 4},
                   {"3.5", 4},
                   {"50,5", 50},
                   {"50", 50},
                   {"3", 3},
                   {"2", 0},
                   {"51", 0},
                   {"", 0},
                   {"2,5", 0},
                   {"-5", 0},
                   {"99999", 0},
                   {"123456789012", 0},
                   {"abc", 0}}) {
        Form f;
        f.form.intNumCorners = 9;
        f.form.ctl.txtNumCorners = c.text;
        const bool ok = f.form.txtNumCorners_LostFocus();
        EXPECT_EQ(ok, c.accepted != 0) << c.text;
        EXPECT_EQ(f.form.ctl.txtNumCorners, c.text);
        if (c.accepted) {
            EXPECT_EQ(f.form.intNumCorners, c.accepted) << c.text;
            EXPECT_TRUE(f.platform.messages.empty());
        } else {
            EXPECT_EQ(f.form.intNumCorners, 9) << c.text;
            ASSERT_EQ(f.platform.messages.size(), 1u) << c.text;
            EXPECT_EQ(f.platform.messages[0].text,
                      "Ongeldige waarde.\r\nAlleen waardes van 3 t.e.m. 50 toegelaten.");
            EXPECT_EQ(f.platform.messages[0].title, "Fout");
            EXPECT_EQ(f.platform.messages[0].icon, MsgIcon::Exclamation);
            EXPECT_EQ(f.platform.focusRequests, 1);
        }
    }
}

TEST(HelpAndAbout, NeitherTouchesTheDrawing) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    const std::vector<Colour> pixels = f.form.picMain.Pixels();
    f.form.blnModified = false;
    f.form.mnuManual_Click();
    f.form.mnuAbout_Click();
    EXPECT_EQ(f.platform.helpShown, 1);
    ASSERT_EQ(f.platform.messages.size(), 1u);
    const testing::ShownMessage& about = f.platform.messages[0];
    EXPECT_EQ(about.title, "About Quillet");
    EXPECT_EQ(about.icon, MsgIcon::Information);
    // Four lines, an empty line before the third and before the fourth.
    std::vector<std::string> lines;
    std::string rest = about.text;
    for (std::size_t at; (at = rest.find("\r\n")) != std::string::npos; rest.erase(0, at + 2)) {
        lines.push_back(rest.substr(0, at));
    }
    lines.push_back(rest);
    ASSERT_EQ(lines.size(), 6u);
    EXPECT_TRUE(lines[2].empty());
    EXPECT_TRUE(lines[4].empty());
    EXPECT_NE(lines[5].find("example.org"), std::string::npos);
    EXPECT_FALSE(f.form.blnModified);
    EXPECT_EQ(f.form.picMain.Pixels(), pixels);
}

} // namespace
} // namespace quillet
