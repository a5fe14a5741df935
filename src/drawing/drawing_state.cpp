#include "drawing/drawing_state.h"

#include <utility>

namespace quillet {

void DrawingState::SwapChosenPoints() {
    std::swap(dblX1, dblX2);
    std::swap(dblY1, dblY2);
}

void DrawingState::OpenStep() {
    intUndoSteps = static_cast<std::int16_t>(intUndoSteps + 1);
    arrStepLines.ReDimPreserve(intUndoSteps);
    arrStepPoints.ReDimPreserve(intUndoSteps);
    arrStepFills.ReDimPreserve(intUndoSteps);
    arrStepLines[intUndoSteps] = {};
    arrStepPoints[intUndoSteps] = {};
    arrStepFills[intUndoSteps] = intFillCount;
}

void DrawingState::KeepSteps(int n) {
    intUndoSteps = static_cast<std::int16_t>(n);
    arrStepLines.ReDimPreserve(n);
    arrStepPoints.ReDimPreserve(n);
    arrStepFills.ReDimPreserve(n);
}

void DrawingState::KeepFills(int n) {
    intFillCount = static_cast<std::int16_t>(n < 0 ? 0 : n);
    arrFills.ReDimPreserve(intFillCount);
    for (int k = arrStepFills.UBound(); k >= 1 && arrStepFills[k] > intFillCount; --k) {
        arrStepFills[k] = intFillCount;
    }
}

void DrawingState::CommitFillUndo() {
    if (intFillUndoCount == 0) {
        return;
    }
    int r = intFillUndoCount % (intFillUndoDepth + 1);
    if (r > 0) {
        KeepFills(intFillCount - r);
    }
    intFillUndoDepth = 0;
    intFillUndoCount = 0;
}

void DrawingState::UpdateCommands(CommandEvent event) {
    CommandStates& e = enabled;
    auto redraw = [&e](bool on) { e.cmdAll = e.cmdOnlyPoints = e.cmdOnlyLines = on; };
    switch (event) {
    case CommandEvent::NewProject:
        redraw(false);
        e.mnuUndo = false;
        e.mnuSaveAs = false;
        e.mnuOpen = true;
        e.chkFill = false;
        break;
    case CommandEvent::LoadSucceeded:
        redraw(true);
        if (intFillCount > 0) {
            e.mnuUndo = true;
        }
        e.mnuSaveAs = true;
        e.chkFill = true;
        break;
    case CommandEvent::ConstructionClick:
    case CommandEvent::PolygonCompleted: {
        bool on = event == CommandEvent::PolygonCompleted;
        redraw(on);
        e.mnuUndo = e.mnuSaveAs = e.mnuOpen = e.chkFill = on;
        break;
    }
    case CommandEvent::FillApplied:
        e.mnuUndo = true;
        break;
    case CommandEvent::FillModeOn:
        redraw(false);
        // Fill undo works from the snapshots, which a load seeds without any fill being made.
        if (intFillUndoDepth > 0) {
            e.mnuUndo = true;
        } else if (intFillCount < 1) {
            e.mnuUndo = false;
        }
        break;
    case CommandEvent::FillModeOff:
        if (intPointCount > 0) {
            redraw(true);
            if (intUndoSteps > 0) {
                e.mnuUndo = true;
            }
        } else {
            redraw(false);
            if (intFillCount < 1) {
                e.mnuUndo = false;
            }
        }
        break;
    case CommandEvent::UndoLeftNoPoints:
        redraw(false);
        e.mnuUndo = e.mnuSaveAs = e.chkFill = false;
        break;
    case CommandEvent::UndoLeftNoStep:
        e.mnuUndo = false;
        break;
    }
}

} // namespace quillet
