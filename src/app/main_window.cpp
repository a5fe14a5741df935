#include "app/main_window.h"

#include "app/controls.h"
#include "geometry/render.h"
#include "project/numbers.h"

#include <chrono>
#include <filesystem>

namespace quillet {

namespace {

// The 16 standard colours of the palette, swatches 0 to 15.
constexpr std::array<Colour, 16> STANDARD_COLOURS{
    RGB(0, 0, 0),       RGB(0, 0, 128),   RGB(0, 128, 0),   RGB(0, 128, 128),
    RGB(128, 0, 0),     RGB(128, 0, 128), RGB(128, 128, 0), RGB(192, 192, 192),
    RGB(128, 128, 128), RGB(0, 0, 255),   RGB(0, 255, 0),   RGB(0, 255, 255),
    RGB(255, 0, 0),     RGB(255, 0, 255), RGB(255, 255, 0), RGB(255, 255, 255)};

} // namespace

std::string MakeCmdLine(int argc, const char* const* argv) {
    std::string text;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            text += ' ';
        }
        text += argv[i];
    }
    if (!text.empty() && text.back() == '"') {
        text.pop_back();
    }
    if (!text.empty() && text.front() == '"') {
        text.erase(0, 1);
    }
    return text;
}

std::optional<std::string> CmdLineNotOpenedReason(const std::string& cmdLine) {
    if (cmdLine.empty() || (FileExists(cmdLine) && LowerEnding(cmdLine) == ".qlf")) {
        return std::nullopt;
    }
    if (LowerEnding(cmdLine) != ".qlf") {
        return "not a .qlf file";
    }
    try {
        std::error_code ec;
        const std::filesystem::file_status status = std::filesystem::status(cmdLine, ec);
        switch (status.type()) {
        case std::filesystem::file_type::not_found:
            return "no such file";
        case std::filesystem::file_type::directory:
            return "it is a folder";
        default:
            return ec ? ec.message() : "not a regular file";
        }
    } catch (...) {
        return "not a regular file";
    }
}

frmMain::frmMain(Platform& p, int scaleWidth, int scaleHeight)
    : platform(p), picMain(scaleWidth, scaleHeight), picUndo1(scaleWidth, scaleHeight),
      picUndo2(scaleWidth, scaleHeight), picTemp(scaleWidth, scaleHeight) {}

void frmMain::Form_Load() {
    std::mt19937_64 rng(RandomSeed.value_or(
        static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count())));
    for (int i = 0; i < 16; ++i) {
        ctl.picSelColor[static_cast<std::size_t>(i)] =
            STANDARD_COLOURS[static_cast<std::size_t>(i)];
    }
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double u1 = unit(rng);
    const double u2 = unit(rng);
    const double u3 = unit(rng);
    ctl.picSelColor[CUSTOM_SWATCH] =
        RGB(static_cast<int>(RoundHalfEven(u1 * 255)), static_cast<int>(RoundHalfEven(u2 * 255)),
            static_cast<int>(RoundHalfEven(u3 * 255)));

    // A project named on the command line opens in place of the empty drawing.
    // A file that cannot be opened leaves the empty drawing.
    NewProject();
    if (FileExists(strCmdLine) && LowerEnding(strCmdLine) == ".qlf") {
        LoadProject(strCmdLine);
    }
}

void frmMain::NewProject() {
    intUndoFloor = 0;
    intFillUndoCount = 0;
    intFillUndoDepth = 0;
    intNumCorners = 3;
    intPointCount = 0;
    intClickPhase = 0;
    blnMarkShown = false;
    // A rubber band left from an unfinished first side belongs to the old drawing; the next
    // drag would otherwise draw it anew with the exclusive-or pen.
    blnRubberShown = false;
    blnModified = false;
    KeepSteps(0);
    UpdateCommands(CommandEvent::NewProject);
    picMain.Cls();
    intFillCount = 0;
    // The old lines are no longer part of the drawing; kept, a redraw or the line test of a
    // fill could still meet them.
    intLineCount = 0;
    arrLines.ReDim(0);
    Refresh();
    SetFillValue(0);
    strFileName.clear();
}

void frmMain::mnuNew_Click() {
    if (blnModified && AskSaveChanges() != SaveOutcome::GoOn) {
        return;
    }
    NewProject();
}

void frmMain::mnuQuit_Click() {
    int Cancel = 0;
    Form_Unload(Cancel);
    if (Cancel == 0) {
        Unloaded = true;
    }
}

void frmMain::Form_Unload(int& Cancel) {
    if (!blnModified) {
        return;
    }
    // A cancelled save dialog is a change of mind, not a permission to lose the drawing.
    if (AskSaveChanges() != SaveOutcome::GoOn) {
        Cancel = 1;
    }
}

void frmMain::txtNumCorners_KeyPress(int& KeyAscii) {
    if ((KeyAscii >= 48 && KeyAscii <= 57) || KeyAscii == 8) {
        return;
    }
    KeyAscii = 0;
}

bool frmMain::txtNumCorners_LostFocus() {
    const double value = RoundHalfEven(ParseNumber(ctl.txtNumCorners, platform.DecimalSeparator()));
    if (value < 3 || value > 50) {
        platform.MsgBox(MSG_INVALID_CORNERS, TITLE_INVALID, MsgIcon::Exclamation, MsgButtons::OK);
        platform.FocusCornerBox();
        return false;
    }
    intNumCorners = static_cast<std::int16_t>(value);
    return true;
}

void frmMain::picSelColor_Click(int Index) {
    if (Index < 0 || Index >= PALETTE_SIZE) {
        return;
    }
    auto& swatch = ctl.picSelColor[static_cast<std::size_t>(Index)];
    if (Index != CUSTOM_SWATCH) {
        ctl.picColor = swatch;
        return;
    }
    std::optional<std::uint32_t> chosen = platform.ShowColor(swatch, TITLE_SELECT_COLOR);
    if (!chosen) {
        return;
    }
    swatch = *chosen & COLOUR_MASK;
    ctl.picColor = swatch;
}

void frmMain::SetFillValue(int value) {
    if (ctl.chkFill == value) {
        return;
    }
    ctl.chkFill = value;
    chkFill_Click();
}

void frmMain::cmdAll_Click() {
    if (RedrawAll(*this, picMain)) {
        Refresh();
    }
}

void frmMain::cmdOnlyLines_Click() {
    if (RedrawOnlyLines(*this, picMain)) {
        Refresh();
    }
}

void frmMain::cmdOnlyPoints_Click() {
    if (RedrawOnlyPoints(*this, picMain)) {
        Refresh();
    }
}

void frmMain::mnuManual_Click() {
    platform.ShowHelp();
}

void frmMain::mnuAbout_Click() {
#define QUILLET_STR2(x) #x
#define QUILLET_STR(x) QUILLET_STR2(x)
    const std::string text = std::string("Quillet, made by Ewout Bramlinck\r\n") +
                             "Owned by Tavenor Corporation\r\n\r\n" +
                             "Copyright (c) " QUILLET_STR(QUILLET_BUILD_YEAR) +
                             " Tavenor Corporation. All rights reserved.\r\n\r\n" +
                             "Visit https://www.example.org for more information.";
#undef QUILLET_STR
#undef QUILLET_STR2
    platform.MsgBox(text, TITLE_ABOUT, MsgIcon::Information, MsgButtons::OK);
}

void frmMain::ShowDrawingFull() {
    platform.MsgBox(MSG_DRAWING_FULL, TITLE_QUILLET, MsgIcon::Exclamation, MsgButtons::OK);
}

} // namespace quillet
