#include "project/project_file.h"

#include "app/main_window.h"
#include "geometry/polygon.h"
#include "geometry/render.h"
#include "project/numbers.h"

#include <fstream>
#include <variant>

namespace quillet {

ProjectData CollectProject(const DrawingState& d) {
    ProjectData data;
    for (int i = 1; i <= d.intPointCount; ++i) {
        data.points.push_back(d.arrPoints[i]);
    }
    for (int i = 1; i <= d.intLineCount; ++i) {
        data.lines.push_back(d.arrLines[i]);
    }
    for (int i = 1; i <= d.intFillCount; ++i) {
        data.fills.push_back(d.arrFills[i]);
    }
    return data;
}

std::optional<std::string> ReadFilePrefix(const std::string& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes;
    std::string chunk(1u << 16, '\0');
    while (bytes.size() < limit) {
        in.read(chunk.data(),
                static_cast<std::streamsize>(std::min(chunk.size(), limit - bytes.size())));
        const std::streamsize got = in.gcount();
        if (got <= 0) {
            break;
        }
        bytes.append(chunk.data(), static_cast<std::size_t>(got));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

bool frmMain::SaveProject(const std::string& path) {
    const std::string bytes = WriteProject(CollectProject(*this), platform.DecimalSeparator());
    if (std::optional<std::string> reason = platform.WriteFileAtomically(path, bytes)) {
        platform.MsgBox("Kan '" + path + "' niet opslaan.\r\n" + *reason, TITLE_QUILLET,
                        MsgIcon::Stop, MsgButtons::OK);
        return false;
    }
    blnModified = false;
    return true;
}

void frmMain::LoadProject(const std::string& path) {
    if (!FileExists(path)) {
        platform.MsgBox("'" + path + "' bestaat niet.", TITLE_FAILED_OPEN, MsgIcon::Stop,
                        MsgButtons::OK);
        return;
    }
    blnModified = false;
    NewProject();

    std::optional<std::string> bytes = ReadFilePrefix(path, PROJECT_READ_LIMIT);
    std::variant<ProjectData, ProjectError> parsed =
        bytes ? ParseProject(*bytes, platform.DecimalSeparator())
              : std::variant<ProjectData, ProjectError>(ProjectError{0, "a readable file"});
    if (std::holds_alternative<ProjectError>(parsed)) {
        platform.MsgBox("Failed to open '" + path + "'", TITLE_QUILLET, MsgIcon::Stop,
                        MsgButtons::OK);
        NewProject();
        return;
    }
    const ProjectData& data = std::get<ProjectData>(parsed);
    intPointCount = static_cast<std::int16_t>(data.points.size());
    arrPoints.ReDim(intPointCount);
    for (int i = 1; i <= intPointCount; ++i) {
        arrPoints[i] = data.points[static_cast<std::size_t>(i - 1)];
    }
    intLineCount = static_cast<std::int16_t>(data.lines.size());
    arrLines.ReDim(intLineCount);
    for (int i = 1; i <= intLineCount; ++i) {
        arrLines[i] = data.lines[static_cast<std::size_t>(i - 1)];
    }
    intFillCount = static_cast<std::int16_t>(data.fills.size());
    arrFills.ReDim(intFillCount);
    for (int i = 1; i <= intFillCount; ++i) {
        arrFills[i] = data.fills[static_cast<std::size_t>(i - 1)];
    }

    strFileName = path;
    picMain.Cls();
    blnModified = false;
    intUndoSteps = 1;
    arrStepLines.ReDim(1);
    arrStepPoints.ReDim(1);
    intUndoFloor = intLineCount;
    for (int i = 1; i <= intLineCount; ++i) {
        const udtLine l = arrLines[i];
        AddLine(*this, picMain, l.X1, l.Y1, l.X2, l.Y2, COLOR_LINE, true);
    }

    // Replay the fills, keeping the pictures before the two newest for fill undo.
    const int w = static_cast<int>(RoundPixel(picMain.ScaleWidth()));
    const int h = static_cast<int>(RoundPixel(picMain.ScaleHeight()));
    const int n = intFillCount;
    auto replay = [this, n](int i) {
        FloodFillAt(arrFills[i].Color, arrFills[i].X, arrFills[i].Y);
        platform.Progress(i, n);
    };
    if (n > 1) {
        picMain.DrawMode = R2_COPYPEN;
        for (int i = 1; i <= n - 2; ++i) {
            replay(i);
        }
        picUndo2.BitBlt(picMain, w, h);
        replay(n - 1);
        picUndo1.BitBlt(picMain, w, h);
        replay(n);
    } else if (n == 1) {
        picUndo1.BitBlt(picMain, w, h);
        replay(1);
    }
    intFillUndoDepth = static_cast<std::int16_t>(n > 1 ? 2 : n);

    Refresh();
    UpdateCommands(CommandEvent::LoadSucceeded);
}

} // namespace quillet
