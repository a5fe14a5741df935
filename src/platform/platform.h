#pragma once
// What the program logic asks of the windowing system. The Qt layer implements it for the
// real program; tests and tools implement it with scripted answers.

#include <cstdint>
#include <optional>
#include <string>

namespace quillet {

class Surface;

enum class MsgIcon { Exclamation, Stop, Information };
enum class MsgButtons { OK, YesNoCancel, YesNo };
enum class MsgResult { OK, Yes, No, Cancel };

// OFN flags the file commands use.
inline constexpr int OFN_OVERWRITEPROMPT = 2;
inline constexpr int OFN_FILEMUSTEXIST = 4096;

struct FileDialogRequest {
    std::string DialogTitle;
    std::string FileName;
    std::string Filter; // "Description|pattern|Description|pattern"
    int Flags = 0;
    int FilterIndex = 1; // 1-based type shown first
};

struct FileDialogAnswer {
    std::string FileName;
    int FilterIndex = 1; // 1-based type chosen
};

class Platform {
  public:
    virtual ~Platform() = default;

    // `detail` is shown on request below the text (the precise reason of a failure); empty
    // for none.
    virtual MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                             MsgButtons buttons, const std::string& detail) = 0;
    MsgResult MsgBox(const std::string& text, const std::string& title, MsgIcon icon,
                     MsgButtons buttons) {
        return MsgBox(text, title, icon, buttons, std::string());
    }
    // Modal file dialogs; nothing when cancelled or when the dialog could not be shown.
    virtual std::optional<FileDialogAnswer> ShowSave(const FileDialogRequest& request) = 0;
    virtual std::optional<FileDialogAnswer> ShowOpen(const FileDialogRequest& request) = 0;
    // Modal colour chooser with its custom-colour editor open; nothing when cancelled.
    virtual std::optional<std::uint32_t> ShowColor(std::uint32_t initial,
                                                   const std::string& title) = 0;
    // The modal help window.
    virtual void ShowHelp() = 0;

    // Moves the keyboard focus back into the corner-count box.
    virtual void FocusCornerBox() = 0;
    // Shows the canvas image on screen.
    virtual void RefreshCanvas() = 0;
    // Long operations report progress; a display keeps itself painted meanwhile. Returns
    // false once the user has asked to cancel the operation; done >= total ends the display.
    virtual bool Progress(long long done, long long total) = 0;

    // Writes the whole file or nothing: the old file stays byte for byte unless the new one
    // is complete on disk. Returns the reason, in words for the user, on failure.
    virtual std::optional<std::string> WriteFileAtomically(const std::string& path,
                                                           const std::string& bytes) = 0;
    // Writes the image as a 24-bit Windows bitmap, atomically as above.
    virtual std::optional<std::string> ExportBitmap(const Surface& image,
                                                    const std::string& path) = 0;

    // The decimal separator of the user's locale: '.' or ','.
    virtual char DecimalSeparator() const = 0;
};

} // namespace quillet
