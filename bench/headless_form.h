#pragma once
// The main window without a display, for the benchmarks of whole actions: no dialog is ever
// answered, and saved files go to memory so that a disk's sync does not swamp the figures.

#include "app/main_window.h"
#include "platform/headless_platform.h"
#include "platform/surface.h"
#include "project/project_format.h"

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>

namespace quillet::bench {

// A loaded main window with the canvas size of the real one.
struct HeadlessForm {
    HeadlessPlatform platform{','};
    frmMain form{platform, 581, 493};

    HeadlessForm() {
        form.RandomSeed = 1;
        form.Form_Load();
    }

    // Press, move and release at a canvas position, as the canvas delivers them, without the
    // click: what the third click of a polygon finds.
    void PointAt(double x, double y) {
        const auto fx = static_cast<float>(x);
        const auto fy = static_cast<float>(y);
        form.picMain_MouseDown(1, 0, fx, fy);
        form.picMain_MouseMove(1, 0, fx, fy);
        form.picMain_MouseUp(1, 0, fx, fy);
    }

    // The same with the click.
    void ClickAt(double x, double y) {
        PointAt(x, y);
        form.picMain_Click();
    }

    // What undo does to the lists and step records for the newest polygon, without its
    // repaint of the whole canvas, so that a benchmark can take a polygon back cheaply.
    void DropNewestPolygon() {
        const int k = form.intUndoSteps;
        if (form.arrStepLines[k].Count > 0) {
            const int n = form.arrStepLines[k].Items[1] - 1;
            form.intLineCount = static_cast<std::int16_t>(n);
            form.arrLines.ReDimPreserve(n);
        }
        if (form.arrStepPoints[k].Count > 0) {
            const int m = form.arrStepPoints[k].Items[1] - 1;
            form.intPointCount = static_cast<std::int16_t>(m);
            form.arrPoints.ReDimPreserve(m);
        }
        form.KeepSteps(k - 1);
    }
};

// A square grid over the canvas as a drawing: the corners, then the sides, row by row, cut
// off after `lines` sides. The spacing is irrational so that every number takes 15 digits.
struct Grid {
    double left = 10;
    double top = 10;
    double step = 0;
    int columns = 0; // corners across
    ProjectData data;
};

inline Grid GridDrawing(int lines) {
    Grid g;
    // Corners k x k give 2k(k-1) sides.
    int k = 2;
    while (2 * k * (k - 1) < lines) {
        ++k;
    }
    g.columns = k;
    g.step = 470.0 / (k - 1) * (std::sqrt(2.0) / 1.5);
    for (int r = 0; r < k; ++r) {
        for (int c = 0; c < k; ++c) {
            g.data.points.push_back({g.left + c * g.step, g.top + r * g.step});
        }
    }
    for (int r = 0; r < k && static_cast<int>(g.data.lines.size()) < lines; ++r) {
        for (int c = 0; c < k && static_cast<int>(g.data.lines.size()) < lines; ++c) {
            const udtPoint p = g.data.points[static_cast<std::size_t>(r * k + c)];
            if (c + 1 < k) {
                g.data.lines.push_back({p.X, p.Y, p.X + g.step, p.Y});
            }
            if (r + 1 < k && static_cast<int>(g.data.lines.size()) < lines) {
                g.data.lines.push_back({p.X, p.Y, p.X, p.Y + g.step});
            }
        }
    }
    // No more corners than sides: a drawing made of polygons has fewer.
    if (g.data.points.size() > g.data.lines.size()) {
        g.data.points.resize(g.data.lines.size());
    }
    return g;
}

// A file in the temporary folder that is removed with this object.
class TempFile {
  public:
    TempFile(const std::string& name, const std::string& bytes)
        : path_(std::filesystem::temp_directory_path() / name) {
        std::ofstream(path_, std::ios::binary) << bytes;
    }
    ~TempFile() {
        std::error_code ec;
        std::filesystem::remove(path_, ec);
    }
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    std::string Path() const { return path_.string(); }

  private:
    std::filesystem::path path_;
};

} // namespace quillet::bench
