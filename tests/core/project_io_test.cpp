// Saving and loading projects through the main window, and the file commands.
#include "geometry/render.h"
#include "project/file_commands.h"
#include "project/project_format.h"
#include "scripted_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace quillet {
namespace {

using testing::Form;
using testing::TempDir;

constexpr Colour WHITE = 0xFFFFFF;

const char* const WORKED_EXAMPLE =
    "*--------------------*\r\n"
    "|Tavenor Quillet File|\r\n"
    "*--------------------*\r\n"
    "\r\n"
    "<Punten num=3>\r\n"
    "100;100\r\n"
    "200;100\r\n"
    "150;13,3974596215561\r\n"
    "</Punten>\r\n"
    "\r\n"
    "<Lijnen num=3>\r\n"
    "(100;100)---(200;100)\r\n"
    "(200;100)---(150;13,3974596215561)\r\n"
    "(150;13,3974596215561)---(100;100)\r\n"
    "</Lijnen>\r\n"
    "\r\n"
    "<FloodFill num=1>\r\n"
    "255 @ (150;60)\r\n"
    "</FloodFill>\r\n"
    "\r\n"
    "Dit bestand is gegenereerd door Tavenor Quillet.\r\n"
    "Als u ook maar het kleinste detail veranderd of verwijderd van dit bestand,\r\n"
    "zal het niet meer te openen zijn met Tavenor Quillet.\r\n"
    "Alzo spreek ik, Ewout Bramlinck, oprichter en beheerder van Tavenor Corporation.\r\n";

// A drawing made by hand: two polygons and three fills in different colours.
void Draw(Form& f) {
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.Polygon(200, 100, 200, 200, 250, 150, 3);
    f.Polygon(100, 200, 200, 200, 150, 300, 6);
    f.form.SetFillValue(1);
    for (auto [swatch, x, y] :
         {std::tuple{12, 150.0f, 150.0f}, {9, 215.0f, 150.0f}, {10, 150.0f, 250.0f}}) {
        f.form.picSelColor_Click(swatch);
        f.form.picMain_MouseMove(0, 0, x, y);
        f.form.picMain_Click();
    }
    f.form.SetFillValue(0);
}

std::string SaveVia(Form& f, const std::string& path, int filterIndex = 2) {
    f.platform.saveAnswers.push_back(FileDialogAnswer{path, filterIndex});
    f.form.mnuSaveAs_Click();
    return TempDir::Read(path);
}

TEST(ProjectSave, WorkedExampleByteForByte) {
    TempDir dir;
    for (char sep : {',', '.'}) {
        Form f;
        f.platform.decimalSeparator = sep;
        f.form.intPointCount = 3;
        f.form.arrPoints.ReDim(3);
        f.form.arrPoints[1] = {100, 100};
        f.form.arrPoints[2] = {200, 100};
        f.form.arrPoints[3] = {150, 13.397459621556138};
        f.form.intLineCount = 3;
        f.form.arrLines.ReDim(4); // storage beyond the count is not written
        f.form.arrLines[1] = {100, 100, 200, 100};
        f.form.arrLines[2] = {200, 100, 150, 13.397459621556138};
        f.form.arrLines[3] = {150, 13.397459621556138, 100, 100};
        f.form.intFillCount = 1;
        f.form.arrFills.ReDim(1);
        f.form.arrFills[1] = {255, 150, 60};
        f.form.blnModified = true;
        std::string expected = WORKED_EXAMPLE;
        if (sep == '.') {
            std::size_t at;
            while ((at = expected.find("13,3974")) != std::string::npos) {
                expected[at + 2] = '.';
            }
        }
        EXPECT_EQ(SaveVia(f, dir.File("example.qlf")), expected) << sep;
        EXPECT_FALSE(f.form.blnModified);
    }
}

TEST(ProjectLoad, RoundTripRestoresTheDrawingAndReplaysTheFills) {
    TempDir dir;
    for (char saveSep : {',', '.'}) {
        for (char loadSep : {',', '.'}) {
            Form a;
            a.platform.decimalSeparator = saveSep;
            Draw(a);
            const std::string path = dir.File("round.qlf");
            SaveVia(a, path);

            Form b;
            b.platform.decimalSeparator = loadSep;
            b.form.LoadProject(path);
            ASSERT_TRUE(b.platform.messages.empty());
            ASSERT_EQ(b.form.intPointCount, a.form.intPointCount);
            ASSERT_EQ(b.form.intLineCount, a.form.intLineCount);
            ASSERT_EQ(b.form.intFillCount, 3);
            for (int i = 1; i <= a.form.intPointCount; ++i) {
                EXPECT_NEAR(b.form.arrPoints[i].X, a.form.arrPoints[i].X, 1e-12);
                EXPECT_NEAR(b.form.arrPoints[i].Y, a.form.arrPoints[i].Y, 1e-12);
            }
            for (int i = 1; i <= 3; ++i) {
                EXPECT_EQ(b.form.arrFills[i].Color, a.form.arrFills[i].Color);
                EXPECT_EQ(b.form.arrFills[i].X, a.form.arrFills[i].X);
            }
            // The canvas: the loaded lines in black, closed at their ends, then the fills in
            // their order.
            Surface expected(581, 493);
            for (int i = 1; i <= b.form.intLineCount; ++i) {
                const udtLine& l = b.form.arrLines[i];
                DrawLine(expected, l.X1, l.Y1, l.X2, l.Y2, R2_COPYPEN, COLOR_LINE);
                expected.SetPixel(static_cast<int>(RoundPixel(l.X2)),
                                  static_cast<int>(RoundPixel(l.Y2)), COLOR_LINE);
            }
            for (int i = 1; i <= 3; ++i) {
                const udtFill& fl = b.form.arrFills[i];
                const double x = RoundPixel(fl.X), y = RoundPixel(fl.Y);
                expected.ExtFloodFill(x, y, expected.GetPixel(x, y), static_cast<Colour>(fl.Color));
            }
            EXPECT_EQ(b.form.picMain.Pixels(), expected.Pixels());
            EXPECT_EQ(b.form.picMain.GetPixel(150, 150), RGB(255, 0, 0));
            EXPECT_EQ(b.form.strFileName, path);
            EXPECT_FALSE(b.form.blnModified);
            CommandStates loaded;
            loaded.cmdAll = loaded.cmdOnlyLines = loaded.cmdOnlyPoints = true;
            loaded.mnuUndo = loaded.mnuSaveAs = loaded.mnuOpen = loaded.chkFill = true;
            EXPECT_EQ(b.form.enabled, loaded);
            EXPECT_EQ(b.form.intUndoSteps, 1);
            EXPECT_EQ(b.form.intUndoFloor, b.form.intLineCount);
            EXPECT_EQ(b.form.arrStepLines[1].Count, b.form.intLineCount);
            EXPECT_EQ(b.form.arrStepLines[1].Items[1], b.form.intLineCount);
        }
    }
}

TEST(ProjectLoad, SnapshotsLetTheNewestFillsBeUndone) {
    TempDir dir;
    Form a;
    Draw(a);
    SaveVia(a, dir.File("three.qlf"));
    Form b;
    b.form.LoadProject(dir.File("three.qlf"));
    EXPECT_EQ(b.form.intFillUndoDepth, 2);
    EXPECT_EQ(b.form.picUndo1.GetPixel(150, 250), WHITE); // before fill 3
    EXPECT_EQ(b.form.picUndo1.GetPixel(215, 150), RGB(0, 0, 255));
    EXPECT_EQ(b.form.picUndo2.GetPixel(215, 150), WHITE); // before fill 2
    EXPECT_EQ(b.form.picUndo2.GetPixel(150, 150), RGB(255, 0, 0));
    b.form.SetFillValue(1);
    b.form.mnuUndo_Click();
    EXPECT_EQ(b.form.picMain.GetPixel(150, 250), WHITE);

    // One fill: picUndo1 holds the canvas before it.
    Form c;
    c.Polygon(100, 100, 200, 100, 150, 150);
    c.form.SetFillValue(1);
    c.form.picSelColor_Click(12);
    c.form.picMain_MouseMove(0, 0, 150.0f, 150.0f);
    c.form.picMain_Click();
    c.form.SetFillValue(0);
    SaveVia(c, dir.File("one.qlf"));
    Form d;
    d.form.LoadProject(dir.File("one.qlf"));
    EXPECT_EQ(d.form.intFillUndoDepth, 1);
    EXPECT_EQ(d.form.picUndo1.GetPixel(150, 150), WHITE);
    EXPECT_EQ(d.form.picMain.GetPixel(150, 150), RGB(255, 0, 0));
}

TEST(ProjectLoad, UndoStopsAtTheLoadedLines) {
    TempDir dir;
    Form a;
    a.Polygon(100, 100, 200, 100, 150, 150);
    SaveVia(a, dir.File("square.qlf"));
    Form b;
    b.form.LoadProject(dir.File("square.qlf"));
    EXPECT_FALSE(b.form.enabled.mnuUndo); // no fills
    b.Polygon(200, 100, 200, 200, 250, 150);
    EXPECT_EQ(b.form.intLineCount, 7);
    b.form.mnuUndo_Click();
    EXPECT_EQ(b.form.intLineCount, 4);
    EXPECT_TRUE(b.form.enabled.mnuUndo);
    b.form.mnuUndo_Click(); // would reach into the loaded lines
    EXPECT_EQ(b.form.intLineCount, 4);
    EXPECT_EQ(b.form.intUndoSteps, 1);
    EXPECT_FALSE(b.form.enabled.mnuUndo);
    EXPECT_TRUE(b.platform.messages.empty());
}

TEST(ProjectLoad, MissingFileChangesNothing) {
    TempDir dir;
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    const std::vector<Colour> pixels = f.form.picMain.Pixels();
    const std::string path = dir.File("nothere.qlf");
    f.form.LoadProject(path);
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text, "'" + path + "' bestaat niet.");
    EXPECT_EQ(f.platform.messages[0].title, "Failed to open Quillet File");
    EXPECT_EQ(f.platform.messages[0].icon, MsgIcon::Stop);
    EXPECT_EQ(f.form.intPointCount, 4);
    EXPECT_TRUE(f.form.blnModified);
    EXPECT_EQ(f.form.picMain.Pixels(), pixels);
}

TEST(ProjectLoad, MalformedFilesLeaveTheDrawingAsItWas) {
    TempDir dir;
    auto replace = [](std::string s, const std::string& from, const std::string& to) {
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    std::string lf = WORKED_EXAMPLE;
    for (std::size_t at; (at = lf.find("\r\n")) != std::string::npos;) {
        lf.erase(at, 1);
    }
    const std::string example = WORKED_EXAMPLE;
    const std::vector<std::string> bad{
        replace(example, "|Tavenor", "|tavenor"),
        replace(example, "File|", "File| "),
        replace(example, "Alzo spreek", "Alzo sprak"),
        replace(example, "<Punten num=3>", "<Punten num=0>"),
        replace(example, "<Lijnen num=3>", "<Lijnen num=0>"),
        replace(example, "<Punten num=3>", "<Punten num=40000>"),
        replace(example, "200;100\r\n150", "200;100;5\r\n150"),
        replace(example, "150;13,3974596215561\r\n</Punten>", "150;x\r\n</Punten>"),
        replace(example, "(100;100)---(200;100)", "(100;100)---(200;100)---(1;1)"),
        replace(example, "255 @ (150;60)", "255 (150;60)"),
        replace(example, "255 @", "99999999999 @"),
        example.substr(0, example.find("<Lijnen")),
        example.substr(0, example.find("(200;100)---")),
        lf,
        "",
        std::string(200000, 'x'),
    };
    // A loaded drawing with fills that can be undone, then changed: all of it must stay.
    Form f;
    f.form.LoadProject(dir.Write("good.qlf", example));
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.form.SetFillValue(1);
    f.form.picSelColor_Click(9);
    f.form.picMain_MouseMove(0, 0, 150.0f, 150.0f);
    f.form.picMain_Click();
    f.form.mnuUndo_Click();
    const DrawingState before = f.form;
    const std::vector<Colour> pixels = f.form.picMain.Pixels();
    const std::vector<Colour> undo1 = f.form.picUndo1.Pixels();
    for (std::size_t i = 0; i < bad.size(); ++i) {
        f.platform.messages.clear();
        const std::string path = dir.Write("bad" + std::to_string(i) + ".qlf", bad[i]);
        f.form.LoadProject(path);
        ASSERT_EQ(f.platform.messages.size(), 1u) << i;
        EXPECT_EQ(f.platform.messages[0].text, "Failed to open '" + path + "'") << i;
        EXPECT_EQ(f.platform.messages[0].title, "Quillet");
        EXPECT_EQ(f.platform.messages[0].icon, MsgIcon::Stop);
        EXPECT_EQ(f.platform.messages[0].detail.rfind("Line ", 0), 0u)
            << i << ": " << f.platform.messages[0].detail;
        EXPECT_TRUE(static_cast<const DrawingState&>(f.form) == before) << i;
        EXPECT_EQ(f.form.picMain.Pixels(), pixels) << i;
        EXPECT_EQ(f.form.picUndo1.Pixels(), undo1) << i;
    }
}

TEST(ProjectLoad, OpensAsManyPointsAsTheLimitAndRefusesOneMore) {
    TempDir dir;
    const std::string example = WORKED_EXAMPLE;
    const std::size_t from = example.find("<Punten");
    const std::size_t to = example.find("</Punten>");
    for (const int points : {MAX_ELEMENTS, MAX_ELEMENTS + 1}) {
        std::string text = example.substr(0, from);
        text += "<Punten num=" + std::to_string(points) + ">\r\n";
        for (int i = 0; i < points; ++i) {
            text += std::to_string(i % 500) + ";" + std::to_string(i / 500) + "\r\n";
        }
        text += example.substr(to);
        Form f;
        f.form.LoadProject(dir.Write("points.qlf", text));
        const bool opens = points <= MAX_ELEMENTS;
        ASSERT_EQ(f.platform.messages.size(), opens ? 0u : 1u) << points;
        if (!opens) {
            EXPECT_EQ(f.platform.messages[0].detail.rfind("Line 5:", 0), 0u)
                << f.platform.messages[0].detail;
        }
        EXPECT_EQ(f.form.intPointCount, opens ? points : 0) << points;
        EXPECT_EQ(f.form.intFillCount, opens ? 1 : 0) << points;
    }
}

TEST(ProjectLoad, ToleratedVariantsLoad) {
    TempDir dir;
    const std::string example = WORKED_EXAMPLE;
    auto variant = [&](const std::string& from, const std::string& to) {
        std::string s = example;
        s.replace(s.find(from), from.size(), to);
        return s;
    };
    struct Case {
        std::string text;
        int fills;
        std::int32_t colour;
    };
    const std::vector<Case> good{
        {variant("255 @ (150;60)", "255 @ [150;60]"), 1, 255},
        {variant("255 @ (150;60)", "  255   @   ( 150 ; 60 )  "), 1, 255},
        {variant("255 @ (150;60)", "rood @ (150;60)"), 1, 0},
        {example + "whatever follows\r\nis not read", 1, 255},
        {variant("<FloodFill num=1>\r\n255 @ (150;60)\r\n", "<FloodFill num=0>\r\n"), 0, 0},
        {variant("<FloodFill num=1>\r\n255 @ (150;60)\r\n", "<FloodFill num=-2>\r\n"), 0, 0},
        {variant("<Punten num=3>\r\n100;100\r\n200;100\r\n150;13,3974596215561\r\n",
                 "<Punten num=2,5>\r\n100;100\r\n200;100\r\n"),
         1, 255},
    };
    for (std::size_t i = 0; i < good.size(); ++i) {
        Form f;
        f.form.LoadProject(dir.Write("good" + std::to_string(i) + ".qlf", good[i].text));
        EXPECT_TRUE(f.platform.messages.empty()) << i;
        EXPECT_EQ(f.form.intLineCount, 3) << i;
        EXPECT_EQ(f.form.intFillCount, good[i].fills) << i;
        EXPECT_EQ(f.form.enabled.mnuUndo, good[i].fills > 0) << i;
        if (good[i].fills > 0) {
            EXPECT_EQ(f.form.arrFills[1].Color, good[i].colour) << i;
            EXPECT_EQ(f.form.arrFills[1].X, 150) << i;
            EXPECT_EQ(f.form.arrFills[1].Y, 60) << i;
        }
    }
}

TEST(SaveAs, EmptyDrawingDialogSettingsAndExtensions) {
    TempDir dir;
    Form f;
    f.form.mnuSaveAs_Click();
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text, "Er is niets om op te slaan.");
    EXPECT_EQ(f.platform.messages[0].icon, MsgIcon::Exclamation);
    EXPECT_TRUE(f.platform.saveRequests.empty());

    f.Polygon(100, 100, 200, 100, 150, 150);
    struct Case {
        const char* name;
        int filter;
        bool bitmap;
    };
    for (Case c : {Case{"a.BMP", 2, true},
                   {"b.Qlf", 1, false},
                   {"c", 1, true},
                   {"d", 2, false},
                   {"e.txt", 2, false},
                   {"f.qlf.bmp", 2, true}}) {
        f.form.blnModified = true;
        const std::string path = dir.File(c.name);
        const std::string written = SaveVia(f, path, c.filter);
        EXPECT_TRUE(std::filesystem::exists(path)) << c.name; // no extension is added
        EXPECT_EQ(written.rfind("*---", 0) == 0, !c.bitmap) << c.name;
        EXPECT_EQ(f.form.blnModified, c.bitmap) << c.name; // an export keeps the drawing changed
        const FileDialogRequest& r = f.platform.saveRequests.back();
        EXPECT_EQ(r.DialogTitle, "Save Quillet File as...");
        EXPECT_EQ(r.Filter, "Windows Bitmap (*.bmp)|*.bmp|Quillet File (*.qlf)|*.qlf");
        EXPECT_EQ(r.Flags, 2);
        EXPECT_EQ(r.FileName, "");
    }
    // The dialog starts on the type chosen at its previous use, and after the open dialog on
    // the first type.
    EXPECT_EQ(f.platform.saveRequests[1].FilterIndex, 2);
    EXPECT_EQ(f.platform.saveRequests[2].FilterIndex, 1);
    f.form.blnModified = false;
    f.platform.openAnswers.push_back(std::nullopt);
    f.form.mnuOpen_Click();
    const FileDialogRequest& open = f.platform.openRequests.back();
    EXPECT_EQ(open.DialogTitle, "Open Quillet File");
    EXPECT_EQ(open.Filter, "Quillet File (*.qlf)|*.qlf");
    EXPECT_EQ(open.Flags, 4096);
    SaveVia(f, dir.File("g.qlf"));
    EXPECT_EQ(f.platform.saveRequests.back().FilterIndex, 1);
}

TEST(SaveAs, FailedSavesKeepTheOldFileAndTheModifiedFlag) {
    TempDir dir;
    const std::string old = dir.Write("keep.qlf", "old contents");
    std::filesystem::create_directory(dir.File("folder.qlf"));
    for (const std::string& path :
         {old, dir.File("folder.qlf"), dir.File("missing/x.qlf"), dir.File("keep.bmp")}) {
        Form f;
        f.Polygon(100, 100, 200, 100, 150, 150);
        if (path == old || path == dir.File("keep.bmp")) {
            // A buffered writer learns of a full disk only when it flushes.
            f.platform.failWrites = testing::WriteFault{path == old ? testing::WriteStage::Flush
                                                                    : testing::WriteStage::Close,
                                                        "No space left on device"};
        }
        SaveVia(f, path);
        ASSERT_EQ(f.platform.messages.size(), 1u) << path;
        EXPECT_EQ(f.platform.messages[0].text.rfind("Kan '" + path + "' niet opslaan.\r\n", 0), 0u)
            << f.platform.messages[0].text;
        EXPECT_EQ(f.platform.messages[0].icon, MsgIcon::Stop);
        EXPECT_TRUE(f.form.blnModified);
    }
    EXPECT_EQ(TempDir::Read(old), "old contents");
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder.qlf")));
}

TEST(SaveAs, UndoneFillsAreNotSaved) {
    TempDir dir;
    Form f;
    Draw(f);
    f.form.SetFillValue(1);
    f.form.mnuUndo_Click();
    const std::string text = SaveVia(f, dir.File("two.qlf"));
    EXPECT_NE(text.find("<FloodFill num=2>"), std::string::npos);
}

} // namespace
} // namespace quillet
