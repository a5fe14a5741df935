// Save as, Load Project and the save-changes prompt.
#include "project/file_commands.h"

#include "app/main_window.h"
#include "project/numbers.h"

namespace quillet {

SaveOutcome frmMain::SaveDrawingAs() {
    FileDialogRequest request{SAVE_DIALOG_TITLE, strFileName, SAVE_FILTER, OFN_OVERWRITEPROMPT,
                              intSaveFilterIndex};
    std::optional<FileDialogAnswer> answer = platform.ShowSave(request);
    if (!answer) {
        return SaveOutcome::DialogCancelled;
    }
    intSaveFilterIndex = answer->FilterIndex;
    const std::string& path = answer->FileName;
    const std::string ending = LowerEnding(path);
    const bool bitmap =
        ending == ".bmp" || (ending != ".qlf" && answer->FilterIndex == SAVE_FILTER_BITMAP);
    if (!MayOverwrite(path)) {
        return SaveOutcome::Stop;
    }
    if (!bitmap) {
        return SaveProject(path) ? SaveOutcome::GoOn : SaveOutcome::Stop;
    }
    if (std::optional<std::string> reason = platform.ExportBitmap(picMain, path)) {
        platform.MsgBox("Kan '" + path + "' niet opslaan.\r\n" + *reason, TITLE_QUILLET,
                        MsgIcon::Stop, MsgButtons::OK);
        return SaveOutcome::Stop;
    }
    // A picture over this window's own file is this window's write, not another program's.
    if (SamePath(path, diskFile_)) {
        RememberDiskFile(path, StampOf(path));
    }
    return SaveOutcome::GoOn;
}

bool frmMain::MayOverwrite(const std::string& path) {
    if (!diskStamp_ || !SamePath(path, diskFile_)) {
        return true;
    }
    const std::optional<FileStamp> now = StampOf(path);
    // A file removed meanwhile holds nothing to lose.
    if (!now || *now == *diskStamp_) {
        return true;
    }
    return platform.MsgBox("Het bestand '" + path +
                               "' is gewijzigd door een ander programma sinds u het opende of "
                               "opsloeg.\r\nWilt u het overschrijven?",
                           TITLE_QUILLET, MsgIcon::Exclamation,
                           MsgButtons::YesNoCancel) == MsgResult::Yes;
}

void frmMain::RememberDiskFile(const std::string& path, std::optional<FileStamp> stamp) {
    diskFile_ = path;
    diskStamp_ = stamp;
}

void frmMain::mnuSaveAs_Click() {
    // Locked while a polygon is built: its first side is not yet part of the drawing.
    if (intClickPhase == 1 || intClickPhase == 2) {
        return;
    }
    CommitFillUndo();
    if (intPointCount == 0) {
        platform.MsgBox(MSG_NOTHING_TO_SAVE, TITLE_QUILLET, MsgIcon::Exclamation, MsgButtons::OK);
        return;
    }
    SaveDrawingAs();
}

SaveOutcome frmMain::AskSaveChanges() {
    if (!blnModified) {
        return SaveOutcome::GoOn;
    }
    switch (platform.MsgBox(MSG_SAVE_CHANGES, TITLE_QUILLET, MsgIcon::Exclamation,
                            MsgButtons::YesNoCancel)) {
    case MsgResult::Yes:
        CommitFillUndo();
        if (intPointCount == 0) {
            // Undo can empty a changed drawing; a project without points could not be
            // opened again, so nothing is written (and nothing is lost).
            platform.MsgBox(MSG_NOTHING_TO_SAVE, TITLE_QUILLET, MsgIcon::Exclamation,
                            MsgButtons::OK);
            return SaveOutcome::GoOn;
        }
        return SaveDrawingAs();
    case MsgResult::No:
        return SaveOutcome::GoOn;
    default:
        return SaveOutcome::Stop;
    }
}

void frmMain::mnuOpen_Click() {
    if (intClickPhase == 1 || intClickPhase == 2) {
        return;
    }
    CommitFillUndo();
    if (AskSaveChanges() != SaveOutcome::GoOn) {
        return;
    }
    FileDialogRequest request{OPEN_DIALOG_TITLE, strFileName, OPEN_FILTER, OFN_FILEMUSTEXIST, 1};
    std::optional<FileDialogAnswer> answer = platform.ShowOpen(request);
    // The dialog control keeps one file type for both dialogs; the open dialog has only one.
    intSaveFilterIndex = 1;
    if (!answer) {
        return;
    }
    LoadProject(answer->FileName);
    enabled.mnuSaveAs = true;
}

} // namespace quillet
