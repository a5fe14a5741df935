// Replays what the end-to-end tests do on the screen through the main window's handlers,
// without a display, and writes the canvas at chosen moments as binary PPM files: the real
// window must show exactly these pixels.
//
// Commands, one a line on standard input ('#' starts a comment):
//   corners N       type N into the corner-count box and leave it
//   click X Y       the pointer moves to canvas pixel (X, Y) and clicks there
//   fill            click the "Fill Mode" check box
//   swatch I        click palette swatch I
//   undo            Undo
//   lines | points | all   the three redraw buttons
//   load FILE       open a project file, as from the command line
//   write FILE      write the canvas as it is now
#include "app/controls.h"
#include "scripted_platform.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>

namespace {

bool WritePpm(const quillet::Surface& canvas, const std::string& path) {
    const int w = canvas.ScaleWidth();
    const int h = canvas.ScaleHeight();
    std::string bytes = "P6\n" + std::to_string(w) + " " + std::to_string(h) + "\n255\n";
    for (const quillet::Colour c : canvas.Pixels()) {
        bytes += static_cast<char>(c & 0xFFu);
        bytes += static_cast<char>((c >> 8) & 0xFFu);
        bytes += static_cast<char>((c >> 16) & 0xFFu);
    }
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

// The rest of the line, for a path that may hold spaces.
std::string RestOf(std::istringstream& words) {
    std::string rest;
    std::getline(words >> std::ws, rest);
    while (!rest.empty() && (rest.back() == ' ' || rest.back() == '\t')) {
        rest.pop_back();
    }
    return rest;
}

} // namespace

int main() {
    quillet::testing::Form f;
    // The tests run the program in the C locale.
    f.platform.decimalSeparator = '.';
    quillet::frmMain& form = f.form;
    std::string line;
    int number = 0;
    while (std::getline(std::cin, line)) {
        ++number;
        if (const auto hash = line.find('#'); hash != std::string::npos) {
            line.erase(hash);
        }
        std::istringstream words(line);
        std::string command;
        if (!(words >> command)) {
            continue;
        }
        bool ok = true;
        if (command == "corners") {
            ok = static_cast<bool>(words >> form.ctl.txtNumCorners) &&
                 form.txtNumCorners_LostFocus();
        } else if (command == "click") {
            float x = 0;
            float y = 0;
            ok = static_cast<bool>(words >> x >> y);
            // The display reports the move with no button held, then the press and release at
            // the same place; a press never moves the pointer.
            form.picMain_MouseMove(0, 0, x, y);
            form.picMain_MouseDown(1, 0, x, y);
            form.picMain_MouseUp(1, 0, x, y);
            form.picMain_Click();
        } else if (command == "fill") {
            form.SetFillValue(form.ctl.chkFill == 1 ? 0 : 1);
        } else if (command == "swatch") {
            int index = -1;
            ok = static_cast<bool>(words >> index) && index >= 0 && index < quillet::CUSTOM_SWATCH;
            form.picSelColor_Click(index);
        } else if (command == "undo") {
            form.mnuUndo_Click();
        } else if (command == "lines") {
            form.cmdOnlyLines_Click();
        } else if (command == "points") {
            form.cmdOnlyPoints_Click();
        } else if (command == "all") {
            form.cmdAll_Click();
        } else if (command == "load") {
            const std::string path = RestOf(words);
            ok = !path.empty();
            form.LoadProject(path);
        } else if (command == "write") {
            const std::string path = RestOf(words);
            ok = !path.empty() && WritePpm(form.picMain, path);
        } else {
            ok = false;
        }
        if (!ok) {
            std::cerr << "canvas_replay: line " << number << " not done: " << line << '\n';
            return 1;
        }
    }
    // A message would have stopped the person at the screen: the script does not match.
    if (!f.platform.messages.empty()) {
        std::cerr << "canvas_replay: a message came up: " << f.platform.messages.front().text
                  << '\n';
        return 1;
    }
    return 0;
}
