#pragma once
// A platform whose dialogs answer from queues and which records every message shown.

#include "app/main_window.h"
#include "platform/file_write.h"
#include "platform/platform.h"
#include "platform/surface.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace quillet::testing {

struct ShownMessage {
    std::string text;
    std::string title;
    MsgIcon icon;
    MsgButtons buttons;
    std::string detail;
};

// Where a scripted write fails. The late stages are the ones a buffered writer reports only
// after every write call has succeeded.
enum class WriteStage { Open, Write, Flush, Close, Rename };

struct WriteFault {
    WriteStage stage;
    std::string reason;
};

class ScriptedPlatform : public Platform {
  public:
    std::vector<ShownMessage> messages;
    std::deque<MsgResult> answers; // for Yes/No/Cancel boxes; OK boxes need none
    std::deque<std::optional<FileDialogAnswer>> saveAnswers;
    std::deque<std::optional<FileDialogAnswer>> openAnswers;
    std::vector<FileDialogRequest> saveRequests;
    std::vector<FileDialogRequest> openRequests;
    std::deque<std::optional<std::uint32_t>> colourAnswers;
    std::vector<std::uint32_t> colourInitials;
    std::vector<std::string> colourTitles;
    int helpShown = 0;
    int focusRequests = 0;
    int refreshes = 0;
    long long progressCalls = 0;
    char decimalSeparator = ',';
    std::optional<WriteFault> failWrites; // every write fails so
    // The user's Cancel: asked at every report of progress.
    std::function<bool(long long done, long long total)> cancelProgress;

    using Platform::MsgBox;
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons, const std::string& detail) override {
        messages.push_back({text, title, icon, buttons, detail});
        if (buttons == MsgButtons::OK) {
            return MsgResult::OK;
        }
        if (answers.empty()) {
            return MsgResult::Cancel;
        }
        MsgResult r = answers.front();
        answers.pop_front();
        return r;
    }
    std::optional<FileDialogAnswer> ShowSave(const FileDialogRequest& request) override {
        saveRequests.push_back(request);
        return Next(saveAnswers);
    }
    std::optional<FileDialogAnswer> ShowOpen(const FileDialogRequest& request) override {
        openRequests.push_back(request);
        return Next(openAnswers);
    }
    std::optional<std::uint32_t> ShowColor(std::uint32_t initial,
                                           const std::string& title) override {
        colourInitials.push_back(initial);
        colourTitles.push_back(title);
        return Next(colourAnswers);
    }
    void ShowHelp() override { ++helpShown; }
    void FocusCornerBox() override { ++focusRequests; }
    void RefreshCanvas() override { ++refreshes; }
    bool Progress(long long done, long long total) override {
        ++progressCalls;
        return !(cancelProgress && done < total && cancelProgress(done, total));
    }

    std::optional<std::string> WriteFileAtomically(const std::string& path,
                                                   const std::string& bytes) override {
        if (failWrites) {
            return ScriptedFailure(path, bytes);
        }
        return WriteFileAtomicallyStd(path, bytes);
    }
    std::vector<std::string> exported;
    std::optional<std::string> ExportBitmap(const Surface&, const std::string& path) override {
        if (!failWrites) {
            exported.push_back(path);
        }
        return WriteFileAtomically(path, "BM");
    }
    char DecimalSeparator() const override { return decimalSeparator; }

  private:
    // Goes as far as the fault lets a real writer go, into a file beside the target, and
    // takes that file away again: the target is never touched.
    std::optional<std::string> ScriptedFailure(const std::string& path, const std::string& bytes) {
        if (failWrites->stage != WriteStage::Open) {
            const std::string temp = path + ".scripted-partial";
            const std::size_t kept =
                failWrites->stage == WriteStage::Write ? bytes.size() / 2 : bytes.size();
            std::ofstream(temp, std::ios::binary)
                .write(bytes.data(), static_cast<std::streamsize>(kept));
            std::error_code ec;
            std::filesystem::remove(temp, ec);
        }
        return failWrites->reason;
    }

    template <class T> static std::optional<T> Next(std::deque<std::optional<T>>& queue) {
        if (queue.empty()) {
            return std::nullopt;
        }
        std::optional<T> r = queue.front();
        queue.pop_front();
        return r;
    }
};

// A loaded main window with the canvas size of the real one.
struct Form {
    ScriptedPlatform platform;
    frmMain form{platform, 581, 493};
    Form() {
        form.RandomSeed = 12345;
        form.Form_Load();
    }
    // Press, move, release and click at a canvas position, as the canvas delivers them.
    void ClickAt(double x, double y) {
        auto fx = static_cast<float>(x);
        auto fy = static_cast<float>(y);
        form.picMain_MouseDown(1, 0, fx, fy);
        form.picMain_MouseMove(1, 0, fx, fy);
        form.picMain_MouseUp(1, 0, fx, fy);
        form.picMain_Click();
    }
    void Polygon(double x1, double y1, double x2, double y2, double sx, double sy, int n = 4) {
        form.ctl.txtNumCorners = std::to_string(n);
        ClickAt(x1, y1);
        ClickAt(x2, y2);
        ClickAt(sx, sy);
    }
    Colour Pixel(int x, int y) const { return form.picMain.GetPixel(x, y); }
};

} // namespace quillet::testing
