// Two windows, one file: Save as asks before it overwrites a project that changed on disk since
// this window loaded or last saved it, and writes nothing unless told to.
#include "project/project_file.h"
#include "scripted_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>

namespace quillet {
namespace {

using testing::Form;
using testing::TempDir;

// The file is written again in place: same inode, new bytes.
void RewriteInPlace(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "r+b");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    ASSERT_EQ(std::fclose(file), 0);
    std::filesystem::resize_file(path, bytes.size());
}

struct timespec MTime(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mtim;
}

void SetMTime(const std::string& path, struct timespec when) {
    const struct timespec times[2] = {when, when};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

// Another program's doing between this window's load and its save. Returns the file's bytes
// afterwards (empty when it is gone).
using Change = std::function<std::string(const std::string& path, const TempDir& dir)>;

// The loaded bytes with one digit changed: the same size.
std::string OneDigitOther(std::string bytes) {
    const std::size_t digit = bytes.find("100;100");
    bytes[digit] = '3';
    return bytes;
}

const Change NOTHING = [](const std::string& path, const TempDir&) { return TempDir::Read(path); };

const Change ANOTHER_WINDOW_SAVES = [](const std::string& path, const TempDir&) {
    Form other;
    other.form.LoadProject(path);
    other.Polygon(100, 100, 200, 100, 150, 50, 3);
    other.platform.saveAnswers.push_back(FileDialogAnswer{path, 2});
    other.form.mnuSaveAs_Click();
    return TempDir::Read(path);
};

const Change LONGER_IN_PLACE = [](const std::string& path, const TempDir&) {
    const std::string bytes = TempDir::Read(path) + "\r\n";
    RewriteInPlace(path, bytes);
    return bytes;
};

// Same size and the same second: only the nanoseconds of the time tell.
const Change SAME_SIZE_SAME_SECOND = [](const std::string& path, const TempDir&) {
    struct timespec when = MTime(path);
    const std::string bytes = OneDigitOther(TempDir::Read(path));
    RewriteInPlace(path, bytes);
    when.tv_nsec = (when.tv_nsec + 1) % 1000000000;
    SetMTime(path, when);
    return bytes;
};

// A new file renamed over the old one, of the same size and time: only the inode tells.
const Change REPLACED_BY_RENAME = [](const std::string& path, const TempDir& dir) {
    const struct timespec when = MTime(path);
    const std::string bytes = OneDigitOther(TempDir::Read(path));
    const std::string temp = dir.Write("elsewhere.tmp", bytes);
    SetMTime(temp, when);
    std::filesystem::rename(temp, path);
    return bytes;
};

const Change DELETED = [](const std::string& path, const TempDir&) {
    std::filesystem::remove(path);
    return std::string();
};

enum class Route { SaveAs, SaveChangesOnNew };

struct Case {
    const char* name;
    Change change;
    Route route;
    MsgResult answer; // to the overwrite question, when it is asked
    bool asked;
    bool written;
};

TEST(ChangedOnDiskTest, SaveAsAsksBeforeOverwritingAFileChangedSinceLoadOrSave) {
    const Case cases[] = {
        {"unchanged", NOTHING, Route::SaveAs, MsgResult::Cancel, false, true},
        {"deleted", DELETED, Route::SaveAs, MsgResult::Cancel, false, true},
        {"another window saves, Yes", ANOTHER_WINDOW_SAVES, Route::SaveAs, MsgResult::Yes, true,
         true},
        {"another window saves, No", ANOTHER_WINDOW_SAVES, Route::SaveAs, MsgResult::No, true,
         false},
        {"another window saves, Cancel", ANOTHER_WINDOW_SAVES, Route::SaveAs, MsgResult::Cancel,
         true, false},
        {"longer, in place", LONGER_IN_PLACE, Route::SaveAs, MsgResult::No, true, false},
        {"same size, same second", SAME_SIZE_SAME_SECOND, Route::SaveAs, MsgResult::Cancel, true,
         false},
        {"same size, same second, Yes", SAME_SIZE_SAME_SECOND, Route::SaveAs, MsgResult::Yes, true,
         true},
        {"replaced by rename", REPLACED_BY_RENAME, Route::SaveAs, MsgResult::No, true, false},
        {"save-changes prompt, Cancel", ANOTHER_WINDOW_SAVES, Route::SaveChangesOnNew,
         MsgResult::Cancel, true, false},
        {"save-changes prompt, Yes", REPLACED_BY_RENAME, Route::SaveChangesOnNew, MsgResult::Yes,
         true, true},
        {"save-changes prompt, unchanged", NOTHING, Route::SaveChangesOnNew, MsgResult::Cancel,
         false, true},
    };
    for (const bool loaded : {true, false}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (loaded ? ", after a load" : ", after a save"));
            TempDir dir;
            const std::string path = dir.File("shared.qlf");
            Form window;
            if (loaded) {
                Form first;
                first.Polygon(100, 100, 200, 100, 150, 150);
                first.platform.saveAnswers.push_back(FileDialogAnswer{path, 2});
                first.form.mnuSaveAs_Click();
                window.form.LoadProject(path);
                ASSERT_EQ(window.form.intPointCount, 4);
            } else {
                window.Polygon(100, 100, 200, 100, 150, 150);
                window.platform.saveAnswers.push_back(FileDialogAnswer{path, 2});
                window.form.mnuSaveAs_Click();
                ASSERT_TRUE(window.platform.messages.empty());
            }
            window.Polygon(200, 100, 200, 200, 250, 150, 3);
            const std::string mine =
                WriteProject(CollectProject(window.form), window.platform.decimalSeparator);
            const std::string theirs = c.change(path, dir);
            ASSERT_NE(theirs, mine);

            window.platform.messages.clear();
            window.platform.saveAnswers.push_back(FileDialogAnswer{path, 2});
            if (c.route == Route::SaveChangesOnNew) {
                window.platform.answers.push_back(MsgResult::Yes);
            }
            window.platform.answers.push_back(c.answer);
            if (c.route == Route::SaveAs) {
                window.form.mnuSaveAs_Click();
            } else {
                window.form.mnuNew_Click();
            }

            const std::string question = "Het bestand '" + path +
                                         "' is gewijzigd door een ander programma sinds u het "
                                         "opende of opsloeg.\r\nWilt u het overschrijven?";
            std::vector<std::string> expected;
            if (c.route == Route::SaveChangesOnNew) {
                expected.push_back(MSG_SAVE_CHANGES);
            }
            if (c.asked) {
                expected.push_back(question);
            }
            std::vector<std::string> shown;
            for (const testing::ShownMessage& m : window.platform.messages) {
                shown.push_back(m.text);
            }
            EXPECT_EQ(shown, expected);
            if (c.asked && shown == expected) {
                EXPECT_EQ(window.platform.messages.back().buttons, MsgButtons::YesNoCancel);
                EXPECT_EQ(window.platform.messages.back().title, TITLE_QUILLET);
            }
            EXPECT_EQ(TempDir::Read(path), c.written ? mine : theirs);
            // A drawing not written is neither lost nor taken for saved.
            const bool renewed = c.route == Route::SaveChangesOnNew && c.written;
            EXPECT_EQ(window.form.blnModified, !c.written);
            EXPECT_EQ(window.form.intPointCount, renewed ? 0 : 5);
            if (renewed) {
                continue;
            }

            // Once written, this window's own file asks no more; not written, it still does.
            window.platform.messages.clear();
            window.platform.saveAnswers.push_back(FileDialogAnswer{path, 2});
            window.platform.answers.push_back(MsgResult::Yes);
            window.form.mnuSaveAs_Click();
            EXPECT_EQ(window.platform.messages.size(), c.written ? 0u : 1u);
            EXPECT_EQ(TempDir::Read(path), mine);
        }
    }
}

// Only the file this window loaded or last saved is its own: saving elsewhere asks nothing,
// and after that the new file is the one watched.
TEST(ChangedOnDiskTest, OnlyTheFileLoadedOrLastSavedIsWatched) {
    TempDir dir;
    const std::string loaded = dir.File("loaded.qlf");
    const std::string other = dir.File("other.qlf");
    Form first;
    first.Polygon(100, 100, 200, 100, 150, 150);
    first.platform.saveAnswers.push_back(FileDialogAnswer{loaded, 2});
    first.form.mnuSaveAs_Click();
    Form window;
    // Named as a terminal may name it; the save dialog gives the whole path.
    window.form.LoadProject(std::filesystem::relative(loaded).string());
    window.Polygon(200, 100, 200, 200, 250, 150, 3);

    LONGER_IN_PLACE(loaded, dir);
    window.platform.saveAnswers.push_back(FileDialogAnswer{loaded, 2});
    window.platform.answers.push_back(MsgResult::Cancel);
    window.form.mnuSaveAs_Click();
    EXPECT_EQ(window.platform.messages.size(), 1u);
    window.platform.messages.clear();

    window.platform.saveAnswers.push_back(FileDialogAnswer{other, 2});
    window.form.mnuSaveAs_Click();
    EXPECT_TRUE(window.platform.messages.empty());

    // The file it saved is now its own; the loaded one is not.
    LONGER_IN_PLACE(other, dir);
    window.platform.saveAnswers.push_back(FileDialogAnswer{other, 2});
    window.platform.answers.push_back(MsgResult::Cancel);
    window.form.mnuSaveAs_Click();
    EXPECT_EQ(window.platform.messages.size(), 1u);
    window.platform.saveAnswers.push_back(FileDialogAnswer{loaded, 2});
    window.form.mnuSaveAs_Click();
    EXPECT_EQ(window.platform.messages.size(), 1u);
    EXPECT_FALSE(window.form.blnModified);
}

} // namespace
} // namespace quillet
