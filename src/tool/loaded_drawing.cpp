// The window's load, without the window: the same reader, canvas and fill replay.

#include "project/apply_project.h"
#include "project/numbers.h"
#include "tool/tool.h"

#include <QLocale>

#include <variant>

namespace quillet::tool {

char LocaleDecimalSeparator() {
    return QLocale::system().decimalPoint() == QStringLiteral(",") ? ',' : '.';
}

std::unique_ptr<LoadedDrawing> LoadDrawing(const std::string& path, std::string& error,
                                           bool painters) {
    if (!FileExists(path)) {
        error = "'" + path + "' does not exist or is not a regular file";
        return nullptr;
    }
    std::variant<ProjectData, ProjectError> parsed =
        ParseProjectFile(path, LocaleDecimalSeparator());
    if (const auto* fault = std::get_if<ProjectError>(&parsed)) {
        error = "cannot open '" + path + "': " + fault->Describe();
        return nullptr;
    }
    auto drawing = std::make_unique<LoadedDrawing>();
    // As the window's load starts: from a new drawing.
    drawing->state.UpdateCommands(CommandEvent::NewProject);
    ApplyProject(
        std::get<ProjectData>(parsed), drawing->state,
        {drawing->canvas, drawing->undo1, drawing->undo2},
        [](long long, long long) { return true; }, painters ? &drawing->painters : nullptr);
    return drawing;
}

} // namespace quillet::tool
