#pragma once
// The main window as the program logic sees it: it owns the drawing, the four surfaces and a
// plain model of every control, and exposes the event handlers under their names. A view
// (the Qt window, or a test) turns events into handler calls and shows the model afterwards.
//
// The handlers are defined next to the subsystem they belong to: the canvas interaction in
// drawing/, the redraw commands in geometry/, the file commands in project/, the rest in app/.

#include "app/command_line.h"
#include "drawing/drawing_state.h"
#include "platform/file_stamp.h"
#include "platform/platform.h"
#include "platform/surface.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <string>

namespace quillet {

// Plain model of the controls whose state changes at run time. The enabled state of the seven
// drawing commands lives in DrawingState::enabled.
struct ControlModel {
    std::string txtNumCorners = "3";
    std::string Label2 = "X: 0     Y: 0";
    int chkFill = 0; // 0 unchecked, 1 checked
    Colour picColor = 0xFFFFFFu;
    std::array<Colour, 17> picSelColor{};
};

enum class SaveOutcome { GoOn, Stop, DialogCancelled };

// What the start did with a recovery file: none found, opened, declined (and removed), or
// kept for the next start (not opened, or no answer).
enum class RecoveryOffer { None, Opened, Declined, Kept };

class frmMain : public DrawingState {
  public:
    // The canvas's inner size comes from the view that shows it.
    frmMain(Platform& platform, int scaleWidth, int scaleHeight);

    Platform& platform;
    Surface picMain;
    Surface picUndo1;
    Surface picUndo2;
    Surface picTemp;
    ControlModel ctl;
    std::string strCmdLine;
    // Random generator of the custom colour; seeded from the clock unless a test seeds it.
    std::optional<std::uint64_t> RandomSeed;
    bool Unloaded = false;
    // The folder of recovery files; empty: none is offered at the start.
    std::string strRecoveryFolder;
    // What Form_Load did with a recovery file.
    RecoveryOffer recoveryOffer = RecoveryOffer::None;

    // Start-up and the window's life.
    void Form_Load();
    void Form_Unload(int& Cancel);
    void NewProject();
    void mnuNew_Click();
    void mnuQuit_Click();

    // Canvas.
    void picMain_MouseDown(int Button, int Shift, float X, float Y);
    void picMain_MouseMove(int Button, int Shift, float X, float Y);
    void picMain_MouseUp(int Button, int Shift, float X, float Y);
    void picMain_Click();

    // Corner-count box. LostFocus returns false when the text was refused and the focus was
    // sent back, so that the click that took the focus is not acted upon.
    void txtNumCorners_KeyPress(int& KeyAscii);
    bool txtNumCorners_LostFocus();

    // Palette and fill mode.
    void picSelColor_Click(int Index);
    void chkFill_Click();
    // Sets the check box's value as code does; raises chkFill_Click when it changes.
    void SetFillValue(int value);

    // Redraw buttons and menu commands.
    void cmdAll_Click();
    void cmdOnlyLines_Click();
    void cmdOnlyPoints_Click();
    void mnuUndo_Click();
    void mnuSaveAs_Click();
    void mnuOpen_Click();
    void mnuManual_Click();
    void mnuAbout_Click();

    // Routines shared by the handlers.
    void FloodFillAt(std::int32_t colour, double x, double y);
    bool IsOnLine(double x, double y) const;
    void LoadProject(const std::string& path);
    bool SaveProject(const std::string& path);
    SaveOutcome SaveDrawingAs();
    SaveOutcome AskSaveChanges();
    // Asks whether to open the newest recovery file of strRecoveryFolder (recovery.cpp).
    RecoveryOffer OfferRecovery();

    // The file type the save dialog starts on: kept between uses, as the dialog control does.
    int intSaveFilterIndex = 2;

  private:
    // Whether Save as may write `path`: asks first when it is the file this window loaded or
    // last saved and another program has written it since.
    bool MayOverwrite(const std::string& path);
    void RememberDiskFile(const std::string& path, std::optional<FileStamp> stamp);

    // The file this window loaded or last saved, as it was on disk then.
    std::string diskFile_;
    std::optional<FileStamp> diskStamp_;

    void FillClick();
    void ConstructionClick();
    void ShowDrawingFull();
    void RestoreCanvasBeforeConstruction();
    void KeepFillsUnchangedByUndo(int linesLeft, int linesBefore, int fillsBefore);

    // The hover marker as it stood when the canvas was kept at the first click.
    struct Mark {
        bool shown = false;
        double x = 0;
        double y = 0;
    } markBeforeConstruction_;
    void Refresh() { platform.RefreshCanvas(); }
};

// Texts of the program's messages.
inline constexpr const char* MSG_SECOND_POINT =
    "Gelieve uw tweede punt verder van het eerste\r\nverwijderd te plaatsen.";
inline constexpr const char* MSG_FILL_ON_LINE = "Niet op de lijnen klikken!";
inline constexpr const char* MSG_NOTHING_TO_SAVE = "Er is niets om op te slaan.";
inline constexpr const char* MSG_SAVE_CHANGES =
    "Het huidige bestand is gewijzigd.\r\nWilt u de wijzigingen opslaan?";
inline constexpr const char* MSG_INVALID_CORNERS =
    "Ongeldige waarde.\r\nAlleen waardes van 3 t.e.m. 50 toegelaten.";
inline constexpr const char* MSG_DRAWING_FULL =
    "De tekening is vol: meer dan 32767 punten of lijnen kan Quillet niet bewaren.";
inline constexpr const char* TITLE_QUILLET = "Quillet";
inline constexpr const char* TITLE_FILL_ERROR = "Fill Error";
inline constexpr const char* TITLE_FAILED_OPEN = "Failed to open Quillet File";
inline constexpr const char* TITLE_INVALID = "Fout";
inline constexpr const char* TITLE_ABOUT = "About Quillet";
inline constexpr const char* TITLE_SELECT_COLOR = "Select a color";

} // namespace quillet
