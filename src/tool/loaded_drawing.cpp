// The window's load, without the window: the same reader, canvas and fill replay.

#include "analysis/analysis.h"
#include "platform/file_write.h"
#include "tool/tool.h"

#include <QLocale>

namespace quillet::tool {

namespace {

// Answers as a user who only reads: every box is OK or Cancel, every dialog cancelled. The
// last message is kept, since a failed load reports itself that way.
class HeadlessPlatform final : public Platform {
  public:
    std::string lastMessage;

    using Platform::MsgBox;
    MsgResult MsgBox(const std::string& text, const std::string&, MsgIcon, MsgButtons buttons,
                     const std::string& detail) override {
        lastMessage = detail.empty() ? text : text + ": " + detail;
        return buttons == MsgButtons::OK ? MsgResult::OK : MsgResult::Cancel;
    }
    std::optional<FileDialogAnswer> ShowSave(const FileDialogRequest&) override { return {}; }
    std::optional<FileDialogAnswer> ShowOpen(const FileDialogRequest&) override { return {}; }
    std::optional<std::uint32_t> ShowColor(std::uint32_t, const std::string&) override {
        return {};
    }
    void ShowHelp() override {}
    void FocusCornerBox() override {}
    void RefreshCanvas() override {}
    bool Progress(long long, long long) override { return true; }
    std::optional<std::string> WriteFileAtomically(const std::string& path,
                                                   const std::string& bytes) override {
        return WriteFileAtomicallyStd(path, bytes);
    }
    std::optional<std::string> ExportBitmap(const Surface&, const std::string&) override {
        return std::string("not available here");
    }
    char DecimalSeparator() const override { return LocaleDecimalSeparator(); }
};

} // namespace

char LocaleDecimalSeparator() {
    return QLocale::system().decimalPoint() == QStringLiteral(",") ? ',' : '.';
}

LoadedDrawing::LoadedDrawing() = default;
LoadedDrawing::~LoadedDrawing() = default;

std::unique_ptr<LoadedDrawing> LoadDrawing(const std::string& path, std::string& error,
                                           std::function<void(const frmMain&, int)> replayed) {
    std::unique_ptr<LoadedDrawing> drawing(new LoadedDrawing());
    auto platform = std::make_unique<HeadlessPlatform>();
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
