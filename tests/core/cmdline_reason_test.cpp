// Why a project named on the command line is not opened, as the terminal is told, and that
// the reason is given exactly when the start-up leaves the drawing empty.
#include "scripted_platform.h"
#include "temp_dir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quillet {
namespace {

using testing::ScriptedPlatform;
using testing::TempDir;

const char* const SQUARE =
    "*--------------------*\r\n|Tavenor Quillet File|\r\n*--------------------*\r\n\r\n"
    "<Punten num=4>\r\n100;100\r\n200;100\r\n100;200\r\n200;200\r\n</Punten>\r\n\r\n"
    "<Lijnen num=4>\r\n(100;100)---(200;100)\r\n(100;100)---(100;200)\r\n"
    "(100;200)---(200;200)\r\n(200;200)---(200;100)\r\n</Lijnen>\r\n\r\n"
    "<FloodFill num=1>\r\n255 @ (150;150)\r\n</FloodFill>\r\n\r\n"
    "Dit bestand is gegenereerd door Tavenor Quillet.\r\n"
    "Als u ook maar het kleinste detail veranderd of verwijderd van dit bestand,\r\n"
    "zal het niet meer te openen zijn met Tavenor Quillet.\r\n"
    "Alzo spreek ik, Ewout Bramlinck, oprichter en beheerder van Tavenor Corporation.\r\n";

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

} // namespace
} // namespace quillet
