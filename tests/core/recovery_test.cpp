// Recovery files: what an end without questions writes, where, and what the next start does
// with it.
#include "app/recovery.h"

#include "project/project_file.h"
#include "scripted_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <sys/stat.h>
#include <variant>

namespace quillet::testing {
namespace {

namespace fs = std::filesystem;
using std::chrono::system_clock;

const system_clock::time_point NOON = system_clock::from_time_t(1700000000);

unsigned Mode(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_mode & 0777u : 0u;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        names.push_back(it->path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The drawing of a file as the window would open it, or nothing when it does not open.
std::optional<ProjectData> Opened(const std::string& path, char separator) {
    auto parsed = ParseProjectFile(path, separator);
    if (auto* data = std::get_if<ProjectData>(&parsed)) {
        return *data;
    }
    return std::nullopt;
}

bool Same(const ProjectData& a, const ProjectData& b) {
    return WriteProject(a, '.') == WriteProject(b, '.');
}

TEST(Recovery, EndWithoutQuestionsKeepsOnlyUnsavedDrawingsWhereTheUserStateGoes) {
    enum class Drawing { Unchanged, Changed, ChangedThenSaved, EmptiedByUndo };
    enum class Env { StateHome, RelativeStateHome, HomeOnly, Neither, FolderIsAFile, WriteFails };
    struct Row {
        const char* name;
        Drawing drawing;
        Env env;
        bool written;    // a recovery file that opens as the drawing
        bool safe;       // nothing lost
        const char* say; // in the line for the terminal; empty: nothing said
    };
    const Row rows[] = {
        {"changed, XDG_STATE_HOME", Drawing::Changed, Env::StateHome, true, true, "kept in '"},
        {"changed, relative XDG_STATE_HOME ignored", Drawing::Changed, Env::RelativeStateHome, true,
         true, "kept in '"},
        {"changed, HOME only", Drawing::Changed, Env::HomeOnly, true, true, "kept in '"},
        {"unchanged", Drawing::Unchanged, Env::StateHome, false, true, ""},
        {"saved since the change", Drawing::ChangedThenSaved, Env::StateHome, false, true, ""},
        {"changed, then every polygon undone", Drawing::EmptiedByUndo, Env::StateHome, false, true,
         ""},
        {"no folder at all", Drawing::Changed, Env::Neither, false, false, "no folder"},
        {"the folder's place is a file", Drawing::Changed, Env::FolderIsAFile, false, false,
         "cannot make the folder"},
        {"the write fails", Drawing::Changed, Env::WriteFails, false, false, "De schijf is vol."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string state = dir.File("state");
        const std::string home = dir.File("home");
        std::string xdg;
        std::string homeVar = home;
        std::string expectedFolder = state + "/quillet";
        switch (row.env) {
        case Env::StateHome:
        case Env::WriteFails:
            xdg = state;
            break;
        case Env::RelativeStateHome:
            xdg = "relative/state";
            expectedFolder = home + "/.local/state/quillet";
            break;
        case Env::HomeOnly:
            expectedFolder = home + "/.local/state/quillet";
            break;
        case Env::Neither:
            homeVar.clear();
            break;
        case Env::FolderIsAFile:
            xdg = dir.Write("state", "not a folder");
            break;
        }

        Form f;
        if (row.drawing != Drawing::Unchanged) {
            f.Polygon(100, 100, 200, 100, 150, 150);
            f.form.SetFillValue(1);
            f.form.ctl.picColor = 0x0000FF;
            f.ClickAt(150, 120);
        }
        if (row.drawing == Drawing::ChangedThenSaved) {
            ASSERT_TRUE(f.form.SaveProject(dir.File("saved.qlf")));
        }
        if (row.drawing == Drawing::EmptiedByUndo) {
            f.form.SetFillValue(0);
            f.form.mnuUndo_Click();
            ASSERT_EQ(f.form.intPointCount, 0);
        }
        if (row.env == Env::WriteFails) {
            f.platform.failWrites = WriteFault{WriteStage::Flush, "De schijf is vol."};
        }
        const ProjectData drawn = CollectProject(f.form);

        RecoveryKeeper keeper(RecoveryFolder(xdg, homeVar), 4242, [] { return NOON; });
        const RecoveryResult result = keeper.Keep(f.form, f.platform);

        EXPECT_EQ(result.Safe(), row.safe);
        if (*row.say == '\0') {
            EXPECT_EQ(result.line, "");
        } else {
            EXPECT_NE(result.line.find(row.say), std::string::npos) << result.line;
        }
        EXPECT_TRUE(f.platform.messages.empty()) << "nobody is there to answer a message";
        if (!row.written) {
            if (row.env != Env::FolderIsAFile) {
                EXPECT_FALSE(fs::exists(expectedFolder + "/" + RecoveryFileName(4242, NOON)));
            }
            if (row.drawing != Drawing::Changed) {
                EXPECT_FALSE(fs::exists(state)) << "nothing to keep makes no folder";
            }
            continue;
        }
        EXPECT_EQ(result.path, expectedFolder + "/recovery-4242-20231114-221320-000.qlf");
        EXPECT_EQ(FilesIn(expectedFolder),
                  std::vector<std::string>{fs::path(result.path).filename().string()});
        EXPECT_NE(result.line.find(result.path), std::string::npos);
        for (std::string made = expectedFolder; made.size() > dir.File("").size();
             made = fs::path(made).parent_path().string()) {
            EXPECT_EQ(Mode(made), 0700u) << made;
        }
        const std::optional<ProjectData> opened =
            Opened(result.path, f.platform.DecimalSeparator());
        ASSERT_TRUE(opened);
        EXPECT_TRUE(Same(*opened, drawn));
        EXPECT_TRUE(f.form.blnModified) << "a recovery file is not a save";
    }
}

// Several windows may end at once, and one may end twice (a session's commit, then its end):
// no file is ever written over, and a run replaces only its own older file.
TEST(Recovery, NoRecoveryFileIsEverWrittenOver) {
    TempDir dir;
    const std::string folder = dir.File("quillet");
    Form a;
    a.Polygon(100, 100, 200, 100, 150, 150);
    Form b;
    b.Polygon(200, 100, 200, 200, 250, 150, 5);

    // Another run with the same number (numbers are reused) left a file at the very name.
    fs::create_directories(folder);
    const std::string older = dir.Write("quillet/" + RecoveryFileName(7, NOON), "older work\n");

    RecoveryKeeper first(folder, 7, [] { return NOON; });
    RecoveryKeeper second(folder, 7, [] { return NOON; });
    const RecoveryResult ra = first.Keep(a.form, a.platform);
    const RecoveryResult rb = second.Keep(b.form, b.platform);
    ASSERT_TRUE(ra.Safe() && rb.Safe());
    EXPECT_EQ(TempDir::Read(older), "older work\n");
    EXPECT_NE(ra.path, older);
    EXPECT_NE(rb.path, ra.path);
    EXPECT_EQ(FilesIn(folder).size(), 3u);

    // Unchanged: the file is there already, and nothing new is said.
    const RecoveryResult again = first.Keep(a.form, a.platform);
    EXPECT_EQ(again.kind, RecoveryResult::Kind::AlreadyKept);
    EXPECT_EQ(again.path, ra.path);
    EXPECT_EQ(again.line, "");

    // Changed since: the newer file replaces this run's own, and only that.
    a.Polygon(100, 100, 150, 150, 180, 100, 3);
    const RecoveryResult newer = first.Keep(a.form, a.platform);
    ASSERT_EQ(newer.kind, RecoveryResult::Kind::Written);
    EXPECT_FALSE(fs::exists(ra.path));
    EXPECT_TRUE(fs::exists(rb.path));
    EXPECT_EQ(TempDir::Read(older), "older work\n");
    EXPECT_TRUE(Same(*Opened(newer.path, ','), CollectProject(a.form)));

    // The user decided at the end (or saved): the run's file goes, the others' stay.
    first.Forget();
    EXPECT_FALSE(fs::exists(newer.path));
    EXPECT_EQ(FilesIn(folder).size(), 2u);
}

TEST(Recovery, NextStartOffersTheNewestAndOpensOnlyOnYes) {
    enum class Named { Nothing, Project };
    struct Row {
        const char* name;
        bool recoveryPresent;
        bool recoveryMalformed;
        std::optional<MsgResult> answer; // nothing: no question expected
        Named named;
        RecoveryOffer offer;
        const char* shows; // "recovery", "project" or "empty"
        bool recoveryLeft; // the offered file still there afterwards
    };
    const Row rows[] = {
        {"none, project named",
         false,
         false,
         {},
         Named::Project,
         RecoveryOffer::None,
         "project",
         false},
        {"yes", true, false, MsgResult::Yes, Named::Nothing, RecoveryOffer::Opened, "recovery",
         false},
        {"yes, project named", true, false, MsgResult::Yes, Named::Project, RecoveryOffer::Opened,
         "recovery", false},
        {"no", true, false, MsgResult::No, Named::Nothing, RecoveryOffer::Declined, "empty", false},
        {"no, project named", true, false, MsgResult::No, Named::Project, RecoveryOffer::Declined,
         "project", false},
        {"no answer, project named", true, false, MsgResult::Cancel, Named::Project,
         RecoveryOffer::Kept, "project", true},
        {"yes to a damaged file", true, true, MsgResult::Yes, Named::Project, RecoveryOffer::Kept,
         "project", true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string folder = dir.File("quillet");
        fs::create_directories(folder);

        Form source;
        source.Polygon(100, 100, 200, 100, 150, 150, 6);
        const ProjectData recovered = CollectProject(source.form);
        Form other;
        other.Polygon(300, 300, 360, 300, 330, 250, 3);
        const ProjectData project = CollectProject(other.form);
        const std::string projectPath = dir.File("named.qlf");
        ASSERT_TRUE(other.form.SaveProject(projectPath));

        // An older recovery file, which the start leaves for later.
        const std::string older = folder + "/recovery-1-20200101-000000-000.qlf";
        ASSERT_TRUE(source.form.SaveProject(older));
        fs::last_write_time(older, fs::file_time_type::clock::now() - std::chrono::hours(24));
        std::string offered;
        if (row.recoveryPresent) {
            offered = folder + "/recovery-2-20240101-000000-000.qlf";
            if (row.recoveryMalformed) {
                dir.Write("quillet/recovery-2-20240101-000000-000.qlf", "<Points num=1>\n");
            } else {
                ASSERT_TRUE(source.form.SaveProject(offered));
            }
        } else {
            fs::remove(older);
        }

        ScriptedPlatform platform;
        frmMain form(platform, 581, 493);
        form.RandomSeed = 1;
        form.strRecoveryFolder = folder;
        form.strCmdLine = row.named == Named::Project ? projectPath : "";
        if (row.answer) {
            platform.answers = {*row.answer};
        }
        form.Form_Load();

        EXPECT_EQ(form.recoveryOffer, row.offer);
        const bool asked =
            !platform.messages.empty() && platform.messages.front().text == MSG_RECOVERY_FOUND;
        EXPECT_EQ(asked, row.answer.has_value());
        if (asked) {
            EXPECT_EQ(platform.messages.front().buttons, MsgButtons::YesNo);
            EXPECT_EQ(platform.messages.front().detail, offered);
        }
        if (row.recoveryPresent) {
            EXPECT_EQ(fs::exists(offered), row.recoveryLeft);
            EXPECT_TRUE(fs::exists(older)) << "only the offered file is removed";
        }
        const ProjectData shown = CollectProject(form);
        const std::string what = row.shows;
        if (what == "recovery") {
            EXPECT_TRUE(Same(shown, recovered));
            EXPECT_TRUE(form.blnModified);
            EXPECT_EQ(form.strFileName, "");
            EXPECT_TRUE(form.enabled.mnuSaveAs);
            // Save as asks where the drawing goes, proposing no name.
            platform.saveAnswers = {std::nullopt};
            form.mnuSaveAs_Click();
            ASSERT_EQ(platform.saveRequests.size(), 1u);
            EXPECT_EQ(platform.saveRequests[0].FileName, "");
            // Quit asks, like for any unsaved drawing.
            platform.messages.clear();
            platform.answers = {MsgResult::Cancel};
            form.mnuQuit_Click();
            EXPECT_FALSE(form.Unloaded);
            EXPECT_EQ(platform.messages.size(), 1u);
        } else if (what == "project") {
            EXPECT_TRUE(Same(shown, project));
            EXPECT_EQ(form.strFileName, projectPath);
            EXPECT_FALSE(form.blnModified);
        } else {
            EXPECT_EQ(form.intPointCount, 0);
            EXPECT_FALSE(form.blnModified);
        }
    }
}

} // namespace
} // namespace quillet::testing
