// The window's load, without the window: the same reader, canvas and fill replay.

#include "analysis/analysis.h"
#include "platform/headless_platform.h"
#include "tool/tool.h"

#include <QLocale>

namespace quillet::tool {

char LocaleDecimalSeparator() {
    return QLocale::system().decimalPoint() == QStringLiteral(",") ? ',' : '.';
}

LoadedDrawing::LoadedDrawing() = default;
LoadedDrawing::~LoadedDrawing() = default;

std::unique_ptr<LoadedDrawing> LoadDrawing(const std::string& path, std::string& error,
                                           std::function<void(const frmMain&, int)> replayed) {
    std::unique_ptr<LoadedDrawing> drawing(new LoadedDrawing());
    auto platform = std::make_unique<HeadlessPlatform>(LocaleDecimalSeparator(),
                                                       HeadlessPlatform::Files::OnDisk);
    HeadlessPlatform& headless = *platform;
    drawing->platform_ = std::move(platform);
    drawing->form_ =
        std::make_unique<frmMain>(headless, analysis::CANVAS_WIDTH, analysis::CANVAS_HEIGHT);
    frmMain& form = *drawing->form_;
    form.RandomSeed = 0;
    form.Form_Load();
    if (replayed) {
        form.OnFillReplayed = [&form, replayed](int fill) { replayed(form, fill); };
    }
    form.LoadProject(path);
    form.OnFillReplayed = nullptr;
    if (!headless.lastMessage.empty() || form.strFileName != path) {
        error = headless.lastMessage.empty() ? "cannot be opened" : headless.lastMessage;
        return nullptr;
    }
    return drawing;
}

} // namespace quillet::tool
