#pragma once
// The layout of the main window and the help window: every control with its caption and its
// position in twips (15 twips to a pixel), and the menus. The views build themselves from
// these tables, so tests can hold a view against them.

#include <array>
#include <string_view>

namespace quillet {

inline constexpr int TWIPS_PER_PIXEL = 15;
constexpr int TwipsToPixels(int twips) {
    return twips / TWIPS_PER_PIXEL;
}

enum class ControlKind { Label, TextBox, PictureBox, Button, CheckBox };

struct ControlLayout {
    std::string_view Name;
    ControlKind Kind;
    std::string_view Caption;
    int Left, Top, Width, Height; // twips
};

// Client area of the main window (below the menu bar).
inline constexpr int FRM_MAIN_WIDTH = 10005;
inline constexpr int FRM_MAIN_HEIGHT = 8415;
inline constexpr std::string_view FRM_MAIN_CAPTION = "Quillet";

// The sunken border of the canvas, in pixels on each side.
inline constexpr int CANVAS_BORDER = 2;

// The canvas picture box in twips, border included; the drawing's canvas is its inside.
inline constexpr int PIC_MAIN_WIDTH_TWIPS = 8775;
inline constexpr int PIC_MAIN_HEIGHT_TWIPS = 7455;
inline constexpr int CANVAS_WIDTH = TwipsToPixels(PIC_MAIN_WIDTH_TWIPS) - 2 * CANVAS_BORDER;
inline constexpr int CANVAS_HEIGHT = TwipsToPixels(PIC_MAIN_HEIGHT_TWIPS) - 2 * CANVAS_BORDER;

// Visible controls in tab order; the palette swatches (PaletteSwatchLayout) come between
// `picColor` and `chkFill`.
inline constexpr std::array<ControlLayout, 10> MAIN_CONTROLS{{
    {"Label1", ControlKind::Label,
     "De volgende veelhoek die ik ga tekenen heeft zoveel hoeken : (minimum 3, maximum 50)", 120,
     120, 4575, 495},
    {"txtNumCorners", ControlKind::TextBox, "3", 4680, 120, 615, 285},
    {"picMain", ControlKind::PictureBox, "", 120, 840, PIC_MAIN_WIDTH_TWIPS, PIC_MAIN_HEIGHT_TWIPS},
    {"Label2", ControlKind::Label, "X: 0     Y: 0", 3480, 480, 2055, 375},
    {"cmdOnlyLines", ControlKind::Button, "Teken alleen de &lijnen", 5400, 45, 1845, 375},
    {"cmdOnlyPoints", ControlKind::Button, "Teken alleen de &punten", 5400, 450, 1845, 375},
    {"cmdAll", ControlKind::Button, "&Teken alles", 7320, 45, 1605, 780},
    {"picColor", ControlKind::PictureBox, "", 9000, 120, 855, 615},
    {"chkFill", ControlKind::CheckBox, "Fill Mode", 9000, 4080, 975, 255},
    {"Label3", ControlKind::Label,
     "Opgepast: Als u bij het inkleuren op een vlak klikt, wordt heel het vlak ingekleurd voor "
     "zover de kleur gelijk blijft.           Het inkleuren verdwijnt weer als u Undo gebruikt "
     "of de lijnen en/of punten opnieuw tekent.",
     9000, 4440, 975, 3855},
}};

inline constexpr int PALETTE_SIZE = 17;
inline constexpr int CUSTOM_SWATCH = 16;

// Swatches 0 to 15 form two columns of eight rows; swatch 16 spans both columns below them.
constexpr ControlLayout PaletteSwatchLayout(int index) {
    if (index == CUSTOM_SWATCH) {
        return {"picSelColor", ControlKind::PictureBox, "", 9120, 3720, 615, 255};
    }
    return {"picSelColor",
            ControlKind::PictureBox,
            "",
            index % 2 == 0 ? 9120 : 9480,
            840 + 360 * (index / 2),
            255,
            255};
}

// What a screen reader says for the controls whose caption does not name them. The colour
// boxes add the colour they show: "Rood, RGB 255, 0, 0", "Huidige kleur: rood, RGB 255, 0, 0".
inline constexpr std::string_view CANVAS_ACCESSIBLE_NAME = "Tekenvlak";
inline constexpr std::string_view CANVAS_ACCESSIBLE_DESCRIPTION =
    "Klik twee punten voor een zijde van de veelhoek en daarna aan de kant van die zijde waar "
    "de veelhoek moet komen. In Fill Mode kleurt een klik het vlak in met de huidige kleur.";
inline constexpr std::string_view CURRENT_COLOUR_ACCESSIBLE_NAME = "Huidige kleur";
// Swatches 0 to 15, then the custom swatch.
inline constexpr std::array<std::string_view, PALETTE_SIZE> PALETTE_COLOUR_NAMES{
    {"zwart", "donkerblauw", "donkergroen", "blauwgroen", "donkerrood", "paars", "olijfgroen",
     "lichtgrijs", "grijs", "blauw", "groen", "cyaan", "rood", "magenta", "geel", "wit",
     "eigen kleur"}};

struct MenuLayout {
    std::string_view Name;
    std::string_view Caption;  // "-" for a separator
    std::string_view Shortcut; // in Qt's portable text form, empty for none
};

inline constexpr std::string_view MNU_FILE_CAPTION = "&File";
inline constexpr std::array<MenuLayout, 7> FILE_MENU{{
    {"mnuNew", "&New Project", "Ctrl+N"},
    {"mnuStreep1", "-", ""},
    {"mnuUndo", "&Undo", "Ctrl+Z"},
    {"mnuSaveAs", "&Save as...", "Ctrl+S"},
    {"mnuOpen", "&Load Project", "Ctrl+O"},
    {"mnuStreep2", "-", ""},
    {"mnuQuit", "&Quit", ""},
}};

inline constexpr std::string_view MNU_HELP_CAPTION = "&Help";
inline constexpr std::array<MenuLayout, 3> HELP_MENU{{
    {"mnuManual", "&How to use Quillet", ""},
    {"mnuStreep3", "-", ""},
    {"mnuAbout", "&About", ""},
}};

// The help window.
inline constexpr std::string_view FRM_HELP_CAPTION = "Manual";
inline constexpr int FRM_HELP_WIDTH = 4335;
inline constexpr int FRM_HELP_HEIGHT = 3645;
inline constexpr std::array<ControlLayout, 4> HELP_CONTROLS{{
    {"Label1", ControlKind::Label,
     "To draw a shape on the picturebox, you have to set two points which forms one side of your "
     "shape; you do this by clicking on it, on the position where you want the line.",
     120, 120, 3975, 855},
    {"Label2", ControlKind::Label,
     "Then you have to decide on which side of your just-drawn line, the shape will be "
     "positioned. Just click on that side of the line. It doesn't matter how far from the line "
     "you click, the only thing that matters is that you click on one side of the line.",
     120, 1080, 4095, 1095},
    {"Label3", ControlKind::Label,
     "If you still don't understand how it works, close the program or write to "
     "support@example.org for more information.",
     120, 2400, 4215, 615},
    {"cmdOK", ControlKind::Button, "&Ok", 1440, 3120, 1695, 375},
}};

} // namespace quillet
