#pragma once
// The platform without a display, for the command-line tool, the benchmarks and fuzzing: a
// message box takes its default answer (OK, or Cancel for a question) and is counted, every
// dialog is cancelled, and files go to memory or, when asked, to disk.

#include "platform/file_write.h"
#include "platform/platform.h"

#include <optional>
#include <string>

namespace quillet {

class HeadlessPlatform final : public Platform {
  public:
    enum class Files { InMemory, OnDisk };

    explicit HeadlessPlatform(char decimalSeparator, Files files = Files::InMemory)
        : separator_(decimalSeparator), files_(files) {}

    int messages = 0;
    std::string lastMessage;            // with its detailed text, after a colon
    std::optional<std::string> written; // the bytes of the last file written to memory

    using Platform::MsgBox;
    MsgResult MsgBox(const std::string& text, const std::string&, MsgIcon, MsgButtons buttons,
                     const std::string& detail) override {
        ++messages;
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
        if (files_ == Files::OnDisk) {
            return WriteFileAtomicallyStd(path, bytes);
        }
        written = bytes;
        return std::nullopt;
    }
    // Bitmaps are encoded by the Qt layer, which a headless program does not have.
    std::optional<std::string> ExportBitmap(const Surface&, const std::string&) override {
        return std::string("Een bitmap kan zonder venster niet worden gemaakt.");
    }
    char DecimalSeparator() const override { return separator_; }

  private:
    char separator_;
    Files files_;
};

} // namespace quillet
