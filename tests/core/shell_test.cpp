// Opening a project named on the command line, and the guard of New, Quit and closing.
#include "scripted_platform.h"
#include "square_file.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillet {
namespace {

using testing::Form;
using testing::ScriptedPlatform;
using testing::TempDir;

const char* const SQUARE = testing::SQUARE_FILE;

struct Started {
    ScriptedPlatform platform;
    frmMain form{platform, 581, 493};
    explicit Started(std::vector<std::string> args) {
        std::vector<const char*> argv{"quillet"};
        for (const std::string& a : args) {
            argv.push_back(a.c_str());
        }
        form.strCmdLine = MakeCmdLine(static_cast<int>(argv.size()), argv.data());
        form.Form_Load();
    }
    bool Loaded() const { return form.intPointCount == 4 && form.intFillCount == 1; }
};

TEST(CommandLine, OpensAnExistingProjectWhateverTheQuotesAndCase) {
    TempDir dir;
    const std::string upper = dir.Write("Square.QLF", SQUARE);
    const std::string lower = dir.Write("square.qlf", SQUARE);
    // A name that is not UTF-8 is opened by its bytes.
    const std::string bytes = dir.Write("tri\xFF.qlf", SQUARE);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"\"" + upper + "\""},
                                                 {lower + "\""},
                                                 {"\"" + lower},
                                                 {lower},
                                                 {bytes}}) {
        Started s(args);
        EXPECT_TRUE(s.Loaded()) << args[0];
        EXPECT_TRUE(s.platform.messages.empty());
        EXPECT_EQ(s.form.strFileName, s.form.strCmdLine);
        EXPECT_TRUE(s.form.enabled.mnuUndo);
        EXPECT_EQ(s.form.picMain.GetPixel(150, 150), 255u);
    }
}

TEST(CommandLine, AnythingElseStartsAnEmptyDrawingQuietly) {
    TempDir dir;
    const std::string qlf = dir.Write("a.qlf", SQUARE);
    dir.Write("b.qlf", SQUARE);
    const std::string bmp = dir.Write("c.bmp", "BM");
    std::filesystem::create_directory(dir.File("folder.qlf"));
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"\"" + qlf + "\"", "\"" + dir.File("b.qlf") + "\""},
             {"\""},
             {bmp},
             {dir.File("folder.qlf")},
             {qlf + " "},
             {dir.File("none.qlf")},
         }) {
        Started s(args);
        EXPECT_EQ(s.form.intPointCount, 0) << args[0];
        EXPECT_TRUE(s.platform.messages.empty()) << args[0];
        EXPECT_FALSE(s.form.enabled.mnuSaveAs);
    }
}

TEST(CommandLine, AMalformedProjectIsReportedAndLeavesAnEmptyDrawing) {
    TempDir dir;
    const std::string bad = dir.Write("bad.qlf", "not a project\r\n");
    Started s({bad});
    ASSERT_EQ(s.platform.messages.size(), 1u);
    EXPECT_EQ(s.platform.messages[0].text, "Failed to open '" + bad + "'");
    EXPECT_EQ(s.form.intPointCount, 0);
    EXPECT_EQ(s.form.strFileName, "");
}

TEST(CommandLineReason, SaysWhyExactlyWhenTheStartLeavesTheDrawingEmpty) {
    TempDir dir;
    const std::string qlf = dir.Write("a.qlf", SQUARE);
    const std::string upper = dir.Write("B.QLF", SQUARE);
    const std::string text = dir.Write("notes.txt", SQUARE);
    std::filesystem::create_directory(dir.File("folder.qlf"));
    ASSERT_EQ(::mkfifo(dir.File("pipe.qlf").c_str(), 0600), 0);
    const std::string tooLong = dir.File(std::string(300, 'n') + ".qlf");
    struct Case {
        std::string cmdLine;
        std::optional<std::string> reason;
    };
    for (const Case& c : {
             Case{qlf, std::nullopt},
             {upper, std::nullopt},
             {text, "not a .qlf file"},
             {dir.File("missing.txt"), "not a .qlf file"},
             {qlf + " ", "not a .qlf file"},
             {"  ", "not a .qlf file"},
             {dir.File("missing.qlf"), "no such file"},
             {qlf + "/inside.qlf", "no such file"},
             {dir.File("folder.qlf"), "it is a folder"},
             {dir.File("pipe.qlf"), "not a regular file"},
             {tooLong, std::make_error_code(std::errc::filename_too_long).message()},
         }) {
        EXPECT_EQ(CmdLineNotOpenedReason(c.cmdLine), c.reason) << c.cmdLine;
        ScriptedPlatform platform;
        frmMain form(platform, 581, 493);
        form.strCmdLine = c.cmdLine;
        form.Form_Load();
        EXPECT_EQ(form.intPointCount == 4, !c.reason.has_value()) << c.cmdLine;
        EXPECT_TRUE(platform.messages.empty()) << c.cmdLine;
    }
    // Nothing named, nothing to say.
    EXPECT_EQ(CmdLineNotOpenedReason(""), std::nullopt);
}

// A changed drawing, and what New, Quit and closing do with each answer.
struct Guard : ::testing::Test {
    TempDir dir;
    Form f;
    std::vector<Colour> pixels;
    void SetUp() override {
        f.Polygon(100, 100, 200, 100, 150, 150);
        pixels = f.form.picMain.Pixels();
    }
    void ExpectUnchanged() {
        EXPECT_EQ(f.form.intPointCount, 4);
        EXPECT_EQ(f.form.intUndoSteps, 1);
        EXPECT_TRUE(f.form.blnModified);
        EXPECT_TRUE(f.form.enabled.cmdAll);
        EXPECT_EQ(f.form.picMain.Pixels(), pixels);
    }
    void Answer(MsgResult r, std::optional<std::string> saveAs = std::nullopt) {
        f.platform.answers.push_back(r);
        if (r == MsgResult::Yes) {
            f.platform.saveAnswers.push_back(saveAs ? std::optional(FileDialogAnswer{*saveAs, 2})
                                                    : std::nullopt);
        }
    }
};

TEST_F(Guard, NewAsksOnlyWhenChanged) {
    Answer(MsgResult::Cancel);
    f.form.mnuNew_Click();
    ASSERT_EQ(f.platform.messages.size(), 1u);
    EXPECT_EQ(f.platform.messages[0].text,
              "Het huidige bestand is gewijzigd.\r\nWilt u de wijzigingen opslaan?");
    EXPECT_EQ(f.platform.messages[0].buttons, MsgButtons::YesNoCancel);
    ExpectUnchanged();

    Answer(MsgResult::Yes); // then the save dialog is cancelled
    f.form.mnuNew_Click();
    ExpectUnchanged();

    Answer(MsgResult::Yes, dir.File("saved.qlf"));
    f.form.mnuNew_Click();
    EXPECT_TRUE(std::filesystem::exists(dir.File("saved.qlf")));
    EXPECT_EQ(f.form.intPointCount, 0);

    const std::size_t asked = f.platform.messages.size();
    f.form.mnuNew_Click();
    EXPECT_EQ(f.platform.messages.size(), asked); // unchanged: no question
}

TEST_F(Guard, NewAnsweredNoDropsTheDrawing) {
    Answer(MsgResult::No);
    f.form.mnuNew_Click();
    EXPECT_EQ(f.form.intPointCount, 0);
    EXPECT_FALSE(f.form.blnModified);
}

TEST_F(Guard, AFailedSaveStopsNewOpenAndClose) {
    f.platform.failWrites = testing::WriteFault{testing::WriteStage::Open, "Permission denied"};
    Answer(MsgResult::Yes, dir.File("x.qlf"));
    f.form.mnuNew_Click();
    ExpectUnchanged();
    Answer(MsgResult::Yes, dir.File("x.qlf"));
    f.form.mnuOpen_Click();
    EXPECT_TRUE(f.platform.openRequests.empty());
    ExpectUnchanged();
    Answer(MsgResult::Yes, dir.File("x.qlf"));
    int Cancel = 0;
    f.form.Form_Unload(Cancel);
    EXPECT_NE(Cancel, 0);
    ExpectUnchanged();
}

TEST_F(Guard, QuitAndCloseFollowTheAnswer) {
    struct Case {
        MsgResult answer;
        bool saveCancelled;
        bool closes;
    };
    // A save dialog cancelled after Yes keeps the window: the user changed their mind.
    for (Case c : {Case{MsgResult::Cancel, false, false},
                   {MsgResult::Yes, true, false},
                   {MsgResult::No, false, true},
                   {MsgResult::Yes, false, true}}) {
        Form g;
        g.Polygon(100, 100, 200, 100, 150, 150);
        g.platform.answers.push_back(c.answer);
        if (c.answer == MsgResult::Yes) {
            g.platform.saveAnswers.push_back(
                c.saveCancelled ? std::nullopt
                                : std::optional(FileDialogAnswer{dir.File("q.qlf"), 2}));
        }
        g.form.mnuQuit_Click();
        EXPECT_EQ(g.form.Unloaded, c.closes);
        EXPECT_EQ(g.form.blnModified, !(c.answer == MsgResult::Yes && !c.saveCancelled));
    }
    Form unchanged;
    unchanged.form.mnuQuit_Click();
    EXPECT_TRUE(unchanged.form.Unloaded);
    EXPECT_TRUE(unchanged.platform.messages.empty());
}

TEST_F(Guard, AChangedButEmptyDrawingIsNotWrittenAsAnUnreadableFile) {
    f.form.mnuUndo_Click(); // back to no points, still marked changed
    ASSERT_EQ(f.form.intPointCount, 0);
    ASSERT_TRUE(f.form.blnModified);
    const std::string path = dir.Write("precious.qlf", "keep me");
    Answer(MsgResult::Yes, path);
    f.form.mnuQuit_Click();
    EXPECT_TRUE(f.form.Unloaded);
    EXPECT_TRUE(f.platform.saveRequests.empty());
    EXPECT_EQ(f.platform.messages.back().text, "Er is niets om op te slaan.");
    EXPECT_EQ(TempDir::Read(path), "keep me");
}

TEST_F(Guard, ABitmapExportLeavesTheDrawingChanged) {
    f.platform.saveAnswers.push_back(FileDialogAnswer{dir.File("p.bmp"), 1});
    f.form.mnuSaveAs_Click();
    EXPECT_TRUE(f.form.blnModified);
    Answer(MsgResult::Cancel);
    f.form.mnuQuit_Click();
    EXPECT_FALSE(f.form.Unloaded);
}

TEST_F(Guard, OpenAsksFirstAndProposesTheLoadedPath) {
    const std::string path = dir.Write("sq.qlf", SQUARE);
    Answer(MsgResult::Cancel);
    f.form.mnuOpen_Click();
    EXPECT_TRUE(f.platform.openRequests.empty());
    ExpectUnchanged();
    Answer(MsgResult::No);
    f.platform.openAnswers.push_back(FileDialogAnswer{path, 1});
    f.form.mnuOpen_Click();
    EXPECT_EQ(f.form.strFileName, path);
    EXPECT_EQ(f.platform.openRequests.back().FileName, "");
    f.platform.openAnswers.push_back(std::nullopt);
    f.form.mnuOpen_Click(); // unchanged since the load: no question
    EXPECT_EQ(f.platform.openRequests.back().FileName, path);
    f.platform.saveAnswers.push_back(FileDialogAnswer{dir.File("other.qlf"), 2});
    f.form.mnuSaveAs_Click();
    f.platform.saveAnswers.push_back(std::nullopt);
    f.form.mnuSaveAs_Click();
    EXPECT_EQ(f.platform.saveRequests.back().FileName, path); // saving does not change it

    // A failed load keeps the loaded drawing, which Save as still offers to save.
    const std::string bad = dir.Write("bad.qlf", "x");
    f.platform.openAnswers.push_back(FileDialogAnswer{bad, 1});
    f.form.mnuOpen_Click();
    EXPECT_EQ(f.form.strFileName, path);
    EXPECT_TRUE(f.form.enabled.mnuSaveAs);
    const std::size_t before = f.platform.saveRequests.size();
    f.form.mnuSaveAs_Click();
    EXPECT_EQ(f.platform.saveRequests.size(), before + 1);
}

} // namespace
} // namespace quillet
