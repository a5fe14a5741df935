// quillet-tool's commands, run in-process on drawings made here with the window's own logic.
#include "../core/scripted_platform.h"
#include "../core/temp_dir.h"
#include "../core/tiling_patch.h"
#include "../qt/recording_platform.h"
#include "platform/qtgui/file_output.h"
#include "project/project_file.h"
#include "tool/tool.h"
#include "tool_run.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>
#include <QXmlStreamReader>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace quillet {
namespace {

using testing::Form;
using testing::TempDir;

constexpr Colour RED = RGB(255, 0, 0);

using testing::Tool;
using testing::ToolRun;

// A square (100,100)-(200,200) filled red, an open triangle beside it whose fill leaks onto
// the whole background, and a blue square fill.
std::string DrawingWithFills(const TempDir& dir, bool leak) {
    Form f;
    f.Polygon(100, 100, 200, 100, 150, 150);
    f.form.SetFillValue(1);
    f.form.picSelColor_Click(12);
    f.form.picMain_MouseMove(0, 0, 150.0f, 150.0f);
    f.form.picMain_Click();
    if (leak) {
        f.form.picSelColor_Click(9);
        f.form.picMain_MouseMove(0, 0, 400.0f, 400.0f);
        f.form.picMain_Click();
    }
    f.form.SetFillValue(0);
    const std::string path = dir.File(leak ? "leak.qlf" : "square.qlf");
    f.platform.saveAnswers.push_back(FileDialogAnswer{path, 2});
    f.form.mnuSaveAs_Click();
    return path;
}

using ToolTest = testing::ToolFixture;

TEST_F(ToolTest, CheckSaysForEachFileWhetherItOpensAndWhy) {
    const std::string good = DrawingWithFills(dir, false);
    std::string text = TempDir::Read(good);
    text.replace(text.find("<Lijnen num="), 12, "<Lines num=");
    const std::string bad = dir.Write("bad.qlf", text);
    std::filesystem::create_directory(dir.File("folder.qlf"));
    const ToolRun run =
        Tool(tool::RunCheck, {good, bad, dir.File("missing.qlf"), dir.File("folder.qlf")});
    EXPECT_EQ(run.status, tool::EXIT_FAILED);
    std::istringstream lines(run.out);
    std::string line;
    std::vector<std::string> got;
    while (std::getline(lines, line)) {
        got.push_back(line);
    }
    ASSERT_EQ(got.size(), 4u) << run.out;
    EXPECT_EQ(got[0], good + ": ok");
    EXPECT_EQ(got[1].rfind(bad + ": Line 12: expected <Lijnen num=N>", 0), 0u) << got[1];
    EXPECT_NE(got[1].find("found \"<Lines num="), std::string::npos) << got[1];
    EXPECT_NE(got[2].find("does not exist"), std::string::npos);
    EXPECT_NE(got[3].find("not a regular file"), std::string::npos);

    // Many files on several cores keep their order; all good gives status 0.
    std::vector<std::string> many(300, good);
    for (std::size_t i = 0; i < many.size(); i += 7) {
        many[i] = bad;
    }
    const ToolRun all = Tool(tool::RunCheck, many);
    std::istringstream again(all.out);
    for (std::size_t i = 0; i < many.size(); ++i) {
        ASSERT_TRUE(std::getline(again, line));
        EXPECT_EQ(line.rfind(many[i] + (i % 7 == 0 ? ": Line" : ": ok"), 0), 0u) << i;
    }
    EXPECT_EQ(Tool(tool::RunCheck, {good, good}).status, tool::EXIT_OK);

    // A drawing without the ending opens through Load Project only, and says so.
    const std::string bare = dir.Write("drawing", TempDir::Read(good));
    const ToolRun noted = Tool(tool::RunCheck, {bare, good});
    EXPECT_EQ(noted.status, tool::EXIT_OK);
    EXPECT_EQ(noted.out.rfind(bare + ": ok through Load Project, but not from the command line", 0),
              0u)
        << noted.out;
    EXPECT_EQ(Tool(tool::RunCheck, {}).status, tool::EXIT_USAGE);
}

// The bitmap is the file the real window's export writes for the same loaded drawing.
TEST_F(ToolTest, RenderWritesWhatTheWindowExports) {
    const std::string path = DrawingWithFills(dir, true);
    for (bool points : {false, true}) {
        LoadedWindow w;
        w.form.LoadProject(path);
        if (points) {
            w.form.cmdAll_Click();
        }
        const std::string fromWindow = dir.File("window.bmp");
        ASSERT_FALSE(w.platform.ExportBitmap(w.form.picMain, fromWindow).has_value());
        const std::string fromTool = dir.File("tool.bmp");
        std::vector<std::string> args{path, fromTool};
        if (points) {
            args.push_back("--points");
        }
        ASSERT_EQ(Tool(tool::RunRender, args).status, tool::EXIT_OK);
        EXPECT_EQ(TempDir::Read(fromTool), TempDir::Read(fromWindow)) << points;

        args[1] = dir.File("tool.png");
        ASSERT_EQ(Tool(tool::RunRender, args).status, tool::EXIT_OK);
        const QImage png(QString::fromStdString(args[1]));
        ASSERT_EQ(png.size(), QSize(581, 493));
        for (auto [x, y] : {std::pair{150, 150}, {400, 400}, {100, 150}, {200, 200}}) {
            const Colour c = w.form.picMain.GetPixel(x, y);
            EXPECT_EQ(png.pixelColor(x, y), QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF))
                << x << "," << y;
        }
    }
}

// The resolution a bitmap's header gives, little-endian at its fixed place.
std::pair<std::uint32_t, std::uint32_t> BitmapDotsPerMetre(const std::string& bytes) {
    const auto at = [&bytes](std::size_t offset) {
        std::uint32_t v = 0;
        for (std::size_t i = 0; i < 4 && offset + i < bytes.size(); ++i) {
            v |= std::uint32_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
        }
        return v;
    };
    return {at(38), at(42)};
}

// A bitmap says 96 dpi (3780 pixels a metre) wherever it is made: in the window on its
// screen, in the tool in-process, and in the tool on its own, which has no screen at all.
TEST_F(ToolTest, BitmapsSay96DpiWhateverTheDisplay) {
    const std::string path = DrawingWithFills(dir, true);
    LoadedWindow w;
    w.form.LoadProject(path);
    const std::string fromWindow = dir.File("window.bmp");
    ASSERT_FALSE(w.platform.ExportBitmap(w.form.picMain, fromWindow).has_value());
    const std::string window = TempDir::Read(fromWindow);
    ASSERT_TRUE(window.starts_with("BM"));
    EXPECT_EQ(BitmapDotsPerMetre(window), std::pair(3780u, 3780u));

    const std::string inProcess = dir.File("in-process.bmp");
    ASSERT_EQ(Tool(tool::RunRender, {path, inProcess}).status, tool::EXIT_OK);
    EXPECT_EQ(TempDir::Read(inProcess), window);

    const std::string alone = dir.File("alone.bmp");
    const std::string command =
        std::string("'") + QUILLET_TOOL_EXE + "' render '" + path + "' '" + alone + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string written = TempDir::Read(alone);
    EXPECT_EQ(BitmapDotsPerMetre(written), std::pair(3780u, 3780u));
    EXPECT_EQ(written, window);

    // As if made on a 144-dpi screen: the image carries that resolution, the file does not.
    QImage image(w.form.picMain.ScaleWidth(), w.form.picMain.ScaleHeight(), QImage::Format_RGB888);
    image.fill(Qt::white);
    image.setDotsPerMeterX(5669);
    image.setDotsPerMeterY(5669);
    const QByteArray encoded = EncodeBitmap(image);
    EXPECT_EQ(BitmapDotsPerMetre(encoded.toStdString()), std::pair(3780u, 3780u));
}

// The tool's load is the real window's, picture for picture, and what it says each fill
// painted is what painting the fills one by one on the lines shows.
TEST_F(ToolTest, TheToolLoadsWhatTheWindowLoadsAndKnowsWhatEachFillPainted) {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLET_TEST_DATA)) {
        files.push_back(entry.path().string());
    }
    files.push_back(DrawingWithFills(dir, true));
    // Teeth a pixel apart, every fill winding through all of them: 38 s when the tool took
    // the fills one by one.
    ProjectData comb;
    comb.points.push_back({1, 0});
    for (int x = 1; x < 581; x += 2) {
        comb.lines.push_back({double(x), 0, double(x), 470});
    }
    for (int i = 0; i < 600; ++i) {
        comb.fills.push_back({i % 3 ? 0xFF0000 : 0x0000FF, i % 5 == 0 ? 2.0 : 0.0, 480});
    }
    comb.fills.push_back({0x00FF00, 2, 100});
    files.push_back(dir.Write("comb.qlf", WriteProject(comb, '.')));
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        LoadedWindow w;
        w.form.LoadProject(file);
        std::string error;
        const std::unique_ptr<tool::LoadedDrawing> loaded = tool::LoadDrawing(file, error, true);
        if (w.form.strFileName != file) {
            EXPECT_EQ(loaded, nullptr);
            EXPECT_FALSE(error.empty());
            continue;
        }
        ASSERT_NE(loaded, nullptr) << error;
        EXPECT_EQ(CollectProject(loaded->state), CollectProject(w.form));
        EXPECT_EQ(loaded->state.intFillUndoDepth, w.form.intFillUndoDepth);
        EXPECT_EQ(loaded->state.enabled, w.form.enabled);
        EXPECT_EQ(loaded->canvas.Pixels(), w.form.picMain.Pixels());
        if (w.form.intFillCount > 0) {
            EXPECT_EQ(loaded->undo1.Pixels(), w.form.picUndo1.Pixels());
        }
        if (w.form.intFillCount > 1) {
            EXPECT_EQ(loaded->undo2.Pixels(), w.form.picUndo2.Pixels());
        }

        // The lines alone, then each fill as a click seeds it.
        ProjectData lines = CollectProject(w.form);
        lines.fills.clear();
        LoadedWindow bare;
        bare.form.LoadProject(dir.Write("lines.qlf", WriteProject(lines, '.')));
        Surface& canvas = bare.form.picMain;
        std::vector<int> expected(canvas.Pixels().size(), 0);
        for (int i = 1; i <= w.form.intFillCount; ++i) {
            const std::vector<Colour> before = canvas.Pixels();
            bare.form.FloodFillAt(w.form.arrFills[i].Color, w.form.arrFills[i].X,
                                  w.form.arrFills[i].Y);
            for (std::size_t p = 0; p < before.size(); ++p) {
                if (canvas.Pixels()[p] != before[p]) {
                    expected[p] = i;
                }
            }
        }
        EXPECT_EQ(loaded->painters, expected);
    }
}

// Coloured octagons, hexagons and dodecagons: the tool's picture is the reopened window's
// canvas pixel for pixel, and its export finds every fill inside its own face.
TEST_F(ToolTest, ColouredTilingsRenderAndExportAsTheWindowReopensThem) {
    std::vector<std::string> files{std::string(QUILLET_TEST_DATA) + "/octagon-one-fill.qlf"};
    for (const testing::Tiling& tiling : testing::Tilings(30)) {
        const auto faces = testing::FacesIn(tiling, 30, {290.5, 246.5}, 10, 10, 571, 483);
        Form f;
        testing::FillFaces(f, testing::BuildByClicks(f, faces, 30, {290, 246}));
        files.push_back(dir.File(tiling.name + ".qlf"));
        f.platform.saveAnswers.push_back(FileDialogAnswer{files.back(), 2});
        f.form.mnuSaveAs_Click();
    }
    for (const std::string& file : files) {
        SCOPED_TRACE(file);
        LoadedWindow w;
        w.form.LoadProject(file);
        ASSERT_GT(w.form.intFillCount, 0);
        const std::string png = dir.File("render.png");
        ASSERT_EQ(Tool(tool::RunRender, {file, png}).status, tool::EXIT_OK);
        const QImage image =
            QImage(QString::fromStdString(png)).convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(image.size(), QSize(581, 493));
        long differing = 0;
        for (int y = 0; y < 493; ++y) {
            for (int x = 0; x < 581; ++x) {
                const Colour c = w.form.picMain.GetPixel(x, y);
                differing += image.pixel(x, y) != qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
            }
        }
        EXPECT_EQ(differing, 0);
        // White stays where no face was coloured: the corner of the canvas.
        EXPECT_EQ(w.form.picMain.GetPixel(1, 1), 0xFFFFFFu);
        const ToolRun svg = Tool(tool::RunExport, {file, "-"});
        ASSERT_EQ(svg.status, tool::EXIT_OK);
        EXPECT_EQ(svg.err.find("warning"), std::string::npos) << svg.err;
        EXPECT_EQ(svg.out.find("<image"), std::string::npos);
    }
}

TEST_F(ToolTest, ExportDrawsFillsAsFacesAndReportsWhatLeaks) {
    const std::string square = DrawingWithFills(dir, false);
    const std::string leak = DrawingWithFills(dir, true);

    const ToolRun svg = Tool(tool::RunExport, {square, "-", "--points"});
    ASSERT_EQ(svg.status, tool::EXIT_OK) << svg.err;
    EXPECT_TRUE(svg.err.empty()) << svg.err;
    QXmlStreamReader xml(QByteArray::fromStdString(svg.out));
    while (!xml.atEnd()) {
        xml.readNext();
    }
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_NE(svg.out.find("#ff0000"), std::string::npos);
    EXPECT_EQ(svg.out.find("<image"), std::string::npos); // the face covers the whole fill
    const ToolRun bare = Tool(tool::RunExport, {square, "-", "--no-fills"});
    EXPECT_EQ(bare.out.find("#ff0000"), std::string::npos);

    const ToolRun leaking = Tool(tool::RunExport, {leak, dir.File("leak.svg")});
    EXPECT_EQ(leaking.status, tool::EXIT_OK);
    EXPECT_EQ(leaking.err.find("fill 1 "), std::string::npos) << leaking.err;
    EXPECT_NE(leaking.err.find("warning: fill 2 (#0000ff at 400;400) painted"), std::string::npos)
        << leaking.err;
    EXPECT_NE(TempDir::Read(dir.File("leak.svg")).find("<image"), std::string::npos);

    const std::string png = dir.File("big.png");
    ASSERT_EQ(Tool(tool::RunExport, {square, png, "--scale", "2"}).status, tool::EXIT_OK);
    const QImage image(QString::fromStdString(png));
    EXPECT_EQ(image.size(), QSize(1162, 986));
    EXPECT_EQ(image.pixelColor(300, 300), QColor(RED & 0xFF, 0, 0));
    EXPECT_EQ(image.pixelColor(100, 100), QColor(Qt::white));
    ASSERT_EQ(Tool(tool::RunExport, {square, dir.File("d.pdf")}).status, tool::EXIT_OK);
    EXPECT_EQ(TempDir::Read(dir.File("d.pdf")).rfind("%PDF", 0), 0u);
}

// A page holds the drawing's box (its lines and corners on the canvas, not the canvas) in
// whole pixels, scaled to fit inside the margins and centred; nothing reaches the margins; the
// page's size is in the file.
TEST_F(ToolTest, APageHoldsTheDrawingCentredInsideItsMargins) {
    struct Page {
        const char* name;
        const char* margin; // nullptr: the default, 15 mm
        bool points;
        double widthPt, heightPt; // ISO 216 and ANSI sizes, in whole points
        const char* widthSvg;
        const char* heightSvg;
    };
    // Qt's PDF pages are whole points: A4 595 x 842, as pdfinfo shows it.
    const Page pages[] = {{"A4", nullptr, true, 595, 842, "210mm", "297mm"},
                          {"A3", "0", false, 842, 1191, "297mm", "420mm"},
                          {"Letter", "40", true, 612, 792, "215.9mm", "279.4mm"}};
    // A triangle, a line that comes from far off the canvas, a blue fill around them (drawn as
    // pixels: it fills no face) and a red one inside the triangle.
    ProjectData reaching;
    reaching.points = {{100, 100}, {200, 100}, {150, 200}};
    reaching.lines = {
        {100, 100, 200, 100}, {200, 100, 150, 200}, {150, 200, 100, 100}, {-2000, 150, 120, 150}};
    reaching.fills = {{RGB(0, 0, 255), 500, 400}, {RGB(255, 0, 0), 150, 130}};
    struct Drawing {
        std::string file;
        QRectF drawn;      // the box of its lines and corners on the canvas
        bool pixelsFillIt; // fill pixels cover the whole box on the canvas
    };
    const Drawing drawings[] = {
        {std::string(QUILLET_TEST_DATA) + "/octagon-one-fill.qlf",
         QRectF(QPointF(164.644660940673, 150), QPointF(285.355339059327, 270.710678118655)),
         false},
        // The square's corner built last is 99.9999999999999 from the left.
        {DrawingWithFills(dir, false), QRectF(QPointF(99.9999999999999, 100), QPointF(200, 200)),
         false},
        {DrawingWithFills(dir, true), QRectF(QPointF(99.9999999999999, 100), QPointF(200, 200)),
         true},
        {dir.Write("reaching.qlf", WriteProject(reaching, '.')), QRectF(0, 100, 200, 100), true}};
    for (const Drawing& drawing : drawings) {
        for (const Page& page : pages) {
            SCOPED_TRACE(drawing.file + " on " + page.name);
            std::vector<std::string> args{drawing.file, "", "--page", page.name};
            if (page.margin != nullptr) {
                args.insert(args.end(), {"--margin", page.margin});
            }
            if (!page.points) {
                args.push_back("--no-points");
            }
            args[1] = dir.File("page.pdf");
            ASSERT_EQ(Tool(tool::RunExport, args).status, tool::EXIT_OK);
            const QString pdf = QString::fromLatin1(TempDir::Read(args[1]));
            const QRegularExpressionMatch box =
                QRegularExpression(R"(/MediaBox \[0 0 ([0-9.]+) ([0-9.]+)\])").match(pdf);
            ASSERT_TRUE(box.hasMatch());
            EXPECT_NEAR(box.captured(1).toDouble(), page.widthPt, 0.01);
            EXPECT_NEAR(box.captured(2).toDouble(), page.heightPt, 0.01);

            args[1] = dir.File("page.svg");
            ASSERT_EQ(Tool(tool::RunExport, args).status, tool::EXIT_OK);
            const std::string svg = TempDir::Read(args[1]);
            EXPECT_NE(svg.find(std::string("width=\"") + page.widthSvg + "\" height=\"" +
                               page.heightSvg + "\""),
                      std::string::npos);
            // Two pixels a point.
            QSvgRenderer renderer(QByteArray::fromStdString(svg));
            ASSERT_TRUE(renderer.isValid());
            QImage image(static_cast<int>(page.widthPt * 2), static_cast<int>(page.heightPt * 2),
                         QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            renderer.render(&painter, QRectF(0, 0, page.widthPt * 2, page.heightPt * 2));
            painter.end();

            // The box: the drawing's, grown by the corners' dots (2 px) or half a line, in
            // whole pixels; scaled to fit within the margins, centred.
            const double grow = page.points ? 2 : 0.5;
            const QRectF whole(QPointF(std::floor(drawing.drawn.left() - grow),
                                       std::floor(drawing.drawn.top() - grow)),
                               QPointF(std::ceil(drawing.drawn.right() + grow),
                                       std::ceil(drawing.drawn.bottom() + grow)));
            const double margin =
                (page.margin != nullptr ? std::atof(page.margin) : 15) * 72 / 25.4;
            const double scale = std::min((page.widthPt - 2 * margin) / whole.width(),
                                          (page.heightPt - 2 * margin) / whole.height());
            const QPointF at((page.widthPt - whole.width() * scale) / 2,
                             (page.heightPt - whole.height() * scale) / 2);
            const auto onImage = [&](QPointF p) {
                return 2 * (at + (p - whole.topLeft()) * scale);
            };
            const QRectF ink = drawing.pixelsFillIt
                                   ? whole.intersected(QRectF(0, 0, 581, 493))
                                   : drawing.drawn.adjusted(-grow, -grow, grow, grow);
            int inkLeft = image.width(), inkTop = image.height(), inkRight = -1, inkBottom = -1;
            bool green = false;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb c = image.pixel(x, y);
                    if (c != qRgb(255, 255, 255)) {
                        inkLeft = std::min(inkLeft, x);
                        inkRight = std::max(inkRight, x + 1);
                        inkTop = std::min(inkTop, y);
                        inkBottom = std::max(inkBottom, y + 1);
                    }
                    green = green || c == qRgb(0, 255, 0);
                }
            }
            const double tolerance = 3; // antialiased edges, in pixels of the image
            EXPECT_NEAR(inkLeft, onImage(ink.topLeft()).x(), tolerance);
            EXPECT_NEAR(inkTop, onImage(ink.topLeft()).y(), tolerance);
            EXPECT_NEAR(inkRight, onImage(ink.bottomRight()).x(), tolerance);
            EXPECT_NEAR(inkBottom, onImage(ink.bottomRight()).y(), tolerance);
            EXPECT_EQ(green, page.points);
            if (drawing.file.find("reaching") != std::string::npos) {
                // The fills' pixels in their places: red in the triangle, blue beside it.
                const QPoint inside = onImage(QPointF(150.5, 130.5)).toPoint();
                const QPoint beside = onImage(QPointF(20.5, 180.5)).toPoint();
                EXPECT_EQ(image.pixel(inside), qRgb(255, 0, 0));
                EXPECT_EQ(image.pixel(beside), qRgb(0, 0, 255));
            }
        }
    }
    // What a page does not go with, and a margin without a page.
    const std::string octagon = drawings[0].file;
    const std::vector<std::vector<std::string>> refused{
        {octagon, dir.File("x.svg"), "--margin", "20"},
        {octagon, dir.File("x.svg"), "--page", "A5"},
        {octagon, dir.File("x.svg"), "--page"},
        {octagon, dir.File("x.png"), "--page", "A4"},
        {octagon, dir.File("x.pdf"), "--page", "A4", "--scale", "2"},
        {octagon, dir.File("x.pdf"), "--page", "A4", "--margin", "-1"},
        {octagon, dir.File("x.pdf"), "--page", "A4", "--margin", "150"},
        {octagon, dir.File("x.pdf"), "--page", "A4", "--margin", "nan"},
        {octagon, dir.File("x.pdf"), "--page", "A4", "--points", "--no-points"}};
    for (const auto& args : refused) {
        const ToolRun run = Tool(tool::RunExport, args);
        EXPECT_EQ(run.status, tool::EXIT_USAGE) << args[2] << " " << args.back();
        EXPECT_FALSE(run.err.empty());
        EXPECT_FALSE(std::filesystem::exists(args[1]));
    }
}

// Names that are not UTF-8 are used byte for byte, as input and as output; nothing is
// written under a name with U+FFFD in place of the odd byte, and the JSON keeps its value.
TEST_F(ToolTest, PathsAreBytes) {
    const std::string drawing = dir.File("tri\xFF.qlf");
    std::filesystem::rename(DrawingWithFills(dir, false), drawing);
    EXPECT_EQ(Tool(tool::RunCheck, {drawing}).status, tool::EXIT_OK);
    EXPECT_EQ(Tool(tool::RunInfo, {drawing}).status, tool::EXIT_OK);
    const ToolRun json = Tool(tool::RunInfo, {drawing, "--json"});
    EXPECT_EQ(json.status, tool::EXIT_OK) << json.err;
    EXPECT_NE(json.out.find("tri\\u00ff.qlf\","), std::string::npos) << json.out;
    struct Case {
        int (*command)(const std::vector<std::string>&, tool::Io);
        std::string name;
        std::string_view magic;
    };
    for (const Case& c :
         {Case{tool::RunRender, "a\xFF.png", "\x89PNG"}, Case{tool::RunRender, "a\xFE.bmp", "BM"},
          Case{tool::RunExport, "a\xFD.svg", "<?xml"},
          Case{tool::RunExport, "a\xFC.pdf", "%PDF"}}) {
        const ToolRun run = Tool(c.command, {drawing, dir.File(c.name)});
        EXPECT_EQ(run.status, tool::EXIT_OK) << c.name << run.err;
        EXPECT_TRUE(TempDir::Read(dir.File(c.name)).starts_with(c.magic)) << c.name;
    }
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.File(""))) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a\xFC.pdf", "a\xFD.svg", "a\xFE.bmp", "a\xFF.png",
                                               "tri\xFF.qlf"}));
}

// Bad arguments are refused with status 2; a failed write leaves nothing behind and keeps
// what was there; an unreadable drawing fails with status 1.
TEST_F(ToolTest, ConventionsForArgumentsAndOutputs) {
    const std::string square = DrawingWithFills(dir, false);
    const std::string kept = dir.Write("kept.png", "old bytes");
    struct Case {
        int (*command)(const std::vector<std::string>&, tool::Io);
        std::vector<std::string> args;
        int status;
    };
    const std::vector<Case> cases{
        {tool::RunRender, {square}, tool::EXIT_USAGE},
        {tool::RunRender, {square, dir.File("x.jpg")}, tool::EXIT_USAGE},
        {tool::RunRender, {square, dir.File("x.png"), "--bogus"}, tool::EXIT_USAGE},
        {tool::RunExport, {square, dir.File("x.svg"), "--scale", "0"}, tool::EXIT_USAGE},
        {tool::RunExport, {square, dir.File("x.svg"), "--scale"}, tool::EXIT_USAGE},
        {tool::RunExport, {square, dir.File("x.png"), "--scale", "1e9"}, tool::EXIT_USAGE},
        {tool::RunRender, {dir.File("missing.qlf"), kept}, tool::EXIT_FAILED},
        {tool::RunExport, {square, dir.File("no/such/folder/x.svg")}, tool::EXIT_FAILED},
        {tool::RunRender, {square, dir.File("kept.png/x.png")}, tool::EXIT_FAILED},
        {tool::RunInfo, {}, tool::EXIT_USAGE},
    };
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ToolRun run = Tool(cases[i].command, cases[i].args);
        EXPECT_EQ(run.status, cases[i].status) << i << ": " << run.err;
        EXPECT_FALSE(run.err.empty()) << i;
    }
    EXPECT_EQ(TempDir::Read(kept), "old bytes");
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.svg")));
    for (auto command : {tool::RunCheck, tool::RunInfo, tool::RunRender, tool::RunExport}) {
        const ToolRun help = Tool(command, {"--help"});
        EXPECT_EQ(help.status, tool::EXIT_OK);
        EXPECT_EQ(help.out.rfind("Usage: quillet-tool ", 0), 0u) << help.out;
    }
}

} // namespace
} // namespace quillet
