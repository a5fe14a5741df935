#include "project/apply_project.h"

#include "drawing/fill_replay.h"
#include "geometry/polygon.h"
#include "geometry/render.h"

namespace quillet {

bool ApplyProject(const ProjectData& data, DrawingState& d, LoadPictures pictures,
                  const ReplayProgress& progress, std::vector<int>* painters) {
    Surface& canvas = pictures.canvas;
    d.intPointCount = static_cast<std::int16_t>(data.points.size());
    d.arrPoints.ReDim(d.intPointCount);
    for (int i = 1; i <= d.intPointCount; ++i) {
        d.arrPoints[i] = data.points[static_cast<std::size_t>(i - 1)];
    }
    d.intLineCount = static_cast<std::int16_t>(data.lines.size());
    d.arrLines.ReDim(d.intLineCount);
    for (int i = 1; i <= d.intLineCount; ++i) {
        d.arrLines[i] = data.lines[static_cast<std::size_t>(i - 1)];
    }
    d.intFillCount = static_cast<std::int16_t>(data.fills.size());
    d.arrFills.ReDim(d.intFillCount);
    for (int i = 1; i <= d.intFillCount; ++i) {
        d.arrFills[i] = data.fills[static_cast<std::size_t>(i - 1)];
    }

    canvas.Cls();
    d.blnMarkShown = false;
    d.blnModified = false;
    d.OpenStep();
    d.intUndoFloor = d.intLineCount;
    for (int i = 1; i <= d.intLineCount; ++i) {
        const udtLine l = d.arrLines[i];
        AddLine(d, canvas, l.X1, l.Y1, l.X2, l.Y2, COLOR_LINE, true);
    }

    const int n = d.intFillCount;
    // Seeded as a click on the canvas seeds a fill.
    auto fill = [&d](int i) {
        const udtFill& f = d.arrFills[i];
        return FillAt{RoundPixel(f.X), RoundPixel(f.Y), static_cast<Colour>(f.Color)};
    };
    if (painters != nullptr) {
        *painters = LastPainters(canvas, n, fill);
    }

    // Replay the fills, keeping the pictures before the two newest for fill undo.
    const int w = static_cast<int>(RoundPixel(canvas.ScaleWidth()));
    const int h = static_cast<int>(RoundPixel(canvas.ScaleHeight()));
    bool cancelled = false;
    auto replay = [&](int i) {
        if (!cancelled) {
            const FillAt f = fill(i);
            canvas.ExtFloodFill(f.x, f.y, canvas.GetPixel(f.x, f.y), f.brush);
            cancelled = !progress(i, n);
        }
    };
    if (n > 0) {
        canvas.DrawMode = R2_COPYPEN;
    }
    if (n > 1) {
        int next = 1;
        if (n > 2) {
            // The older fills need not be seen one by one: the replay may take them on the
            // regions of the picture rather than flood the canvas for each.
            auto painted = [&](int i) {
                cancelled = !progress(i, n);
                return !cancelled;
            };
            next = 1 + ReplayFills(canvas, n - 2, fill, painted);
        }
        for (int i = next; i <= n - 2; ++i) {
            replay(i);
        }
        pictures.undo2.BitBlt(canvas, w, h);
        replay(n - 1);
        pictures.undo1.BitBlt(canvas, w, h);
        replay(n);
    } else if (n == 1) {
        pictures.undo1.BitBlt(canvas, w, h);
        replay(1);
    }
    if (cancelled) {
        return false;
    }
    d.intFillUndoDepth = static_cast<std::int16_t>(n > 1 ? 2 : n);
    d.UpdateCommands(CommandEvent::LoadSucceeded);
    return true;
}

} // namespace quillet
